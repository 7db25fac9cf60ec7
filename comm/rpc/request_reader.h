// The server's reading of one call request: the header, then each
// descriptor and its data, every size checked before anything is allocated.
#pragma once
#include <vector>

#include "comm/rpc/stream.h"
#include "comm/rpc/wire.h"

namespace kvrpc {

struct ServerParameter {
  Descriptor descriptor;
  unsigned char value[8] = {};        // by value: the bytes sent, zero beyond them
  std::vector<unsigned char> buffer;  // by reference, types 1 to 9
  void* block = nullptr;              // type 10: the locked block; the call may replace it
};

struct ServerRequest {
  CallHeader header;
  std::vector<ServerParameter> parameters;
  ServerRequest() = default;
  ~ServerRequest();
  ServerRequest(const ServerRequest&) = delete;
  ServerRequest& operator=(const ServerRequest&) = delete;
};

enum class ReadOutcome {
  Complete,
  Malformed,     // a field or size the server refuses: status 3
  OtherVersion,  // a header of a protocol other than 1: status 4, nothing more read
  Broken,        // the stream ended or failed
};

// Reads one request into `request` (emptied first). `why` receives the
// reason of a Malformed outcome.
ReadOutcome ReadRequest(Stream& stream, ServerRequest& request, const char** why);

// Frees a type-10 block the server or the called function made.
void FreeBlock(void* address);

}  // namespace kvrpc
