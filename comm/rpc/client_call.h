// The client's side of one call: the request sent from a call record, the
// reply read into it, every size the server announces checked against the
// room the caller gave.
#pragma once
#include <cstddef>

#include "comm/rpc/stream.h"
#include "kv/comm_rpc.h"

namespace kvrpc {

// How the reply ended when it did not end well.
inline constexpr long kClientRefused = 10022;  // the reply did not fit the call record

// The bytes of a request from its call record (header and parameters).
std::vector<unsigned char> EncodeRequest(const unsigned char* request);

// Reads a reply to `request` into `reply`. Returns 0, the status the server
// sent, kClientRefused, or the stream's error when it broke. `outSlots`
// bounds how many KVRPC_OUT entries `reply` has room for. On status 0 the
// buffers of out parameters receive their data (a global block is grown
// when the data is larger; any other buffer refuses it).
long ReadReply(Stream& stream, unsigned char* request, KVRPC_REPLY* reply, size_t outSlots);

// Number of out parameters (kinds 2 and 3) of a request.
size_t OutParameters(const unsigned char* request);

// Sends the request, reads the reply when wanted, shows an error status in
// a message box and sends "RPC KO" (or "RPC OK" after "FreeLibrary").
// `commandWord` goes first when the server is a file server.
long RunCall(Stream& stream, KVRPC_CALL* call, bool commandWord, const char* module);

}  // namespace kvrpc
