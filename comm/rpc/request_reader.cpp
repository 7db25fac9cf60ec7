// Reading a call request under the server's bounds.
#include "comm/rpc/request_reader.h"

#include <cstring>
#include <new>

#include "platform/kernel/memory.h"

namespace kvrpc {

namespace {

// A text the server acts on must end within its buffer.
bool IsName(const char* function, const char* name) {
  return std::strcmp(function, name) == 0;
}

bool AllocateBuffer(ServerParameter& p) {
  const Descriptor& d = p.descriptor;
  if (d.size == 0) return true;
  if (d.type == kTypeGlobalBlock) {
    kvp::HGLOBAL handle = kvp::GlobalAlloc(kvp::GHND, d.size);
    if (handle == 0) return false;
    p.block = kvp::GlobalLock(handle);
    return p.block != nullptr;
  }
  try {
    p.buffer.assign(static_cast<size_t>(d.size) * ElementWidth(d.type), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

unsigned char* DataOf(ServerParameter& p) {
  if (p.descriptor.byReference == 0) return p.value;
  if (p.descriptor.type == kTypeGlobalBlock) return static_cast<unsigned char*>(p.block);
  return p.buffer.data();
}

}  // namespace

void FreeBlock(void* address) {
  if (address == nullptr) return;
  kvp::HGLOBAL handle = kvp::GlobalHandle(address);
  if (handle == 0) return;  // not a block of ours: left alone rather than freed wrongly
  while ((kvp::GlobalFlags(handle) & kvp::GMEM_LOCKCOUNT) != 0) kvp::GlobalUnlock(handle);
  kvp::GlobalFree(handle);
}

ServerRequest::~ServerRequest() {
  for (ServerParameter& p : parameters) FreeBlock(p.block);
}

ReadOutcome ReadRequest(Stream& stream, ServerRequest& request, const char** why) {
  for (ServerParameter& p : request.parameters) FreeBlock(p.block);
  request.parameters.clear();
  *why = nullptr;
  unsigned char header[kHeaderBytes];
  if (!stream.Read(header, sizeof header)) return ReadOutcome::Broken;
  request.header = DecodeHeader(header);
  const CallHeader& h = request.header;
  if (h.version != 1) return ReadOutcome::OtherVersion;
  if (!Terminated(h.user, kNameField) || !Terminated(h.password, kPasswordField) ||
      !Terminated(h.function, kNameField)) {
    *why = "unterminated name";
    return ReadOutcome::Malformed;
  }
  if (h.parameterCount > kMaxParameters) {
    *why = "parameter count";
    return ReadOutcome::Malformed;
  }
  const bool loading = IsName(h.function, "LoadLibrary");
  if (loading && h.parameterCount == 0) {
    *why = "LoadLibrary without a module name";
    return ReadOutcome::Malformed;
  }
  request.parameters.reserve(h.parameterCount);
  uint64_t total = 0;
  for (uint16_t i = 0; i < h.parameterCount; ++i) {
    unsigned char raw[kDescriptorBytes];
    if (!stream.Read(raw, sizeof raw)) return ReadOutcome::Broken;
    ServerParameter& p = request.parameters.emplace_back();
    p.descriptor = DecodeDescriptor(raw);
    if ((*why = CheckDescriptor(p.descriptor, total)) != nullptr) return ReadOutcome::Malformed;
    if (p.descriptor.byReference != 0 && !AllocateBuffer(p)) {
      *why = "no memory for a buffer";
      return ReadOutcome::Malformed;
    }
    const uint32_t bytes = DataBytesAfter(p.descriptor);
    if (bytes > 0 && !stream.Read(DataOf(p), bytes)) return ReadOutcome::Broken;
  }
  if (loading) {
    const ServerParameter& name = request.parameters[0];
    const unsigned char* text = name.descriptor.type == kTypeGlobalBlock
                                    ? static_cast<const unsigned char*>(name.block)
                                    : name.buffer.data();
    const size_t room =
        name.descriptor.type == kTypeGlobalBlock ? name.descriptor.size : name.buffer.size();
    if (name.descriptor.byReference == 0 || text == nullptr ||
        std::memchr(text, '\0', room) == nullptr) {
      *why = "module name not a terminated text";
      return ReadOutcome::Malformed;
    }
  }
  return ReadOutcome::Complete;
}

}  // namespace kvrpc
