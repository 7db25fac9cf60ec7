#include "comm/rpc/call_context.h"

#include <cstdint>
#include <vector>

namespace kvrpc {

namespace {

struct Span {
  uintptr_t begin;
  size_t size;
};

thread_local std::vector<Span>* tSpans = nullptr;

}  // namespace

size_t BufferRoom(const void* address) {
  if (tSpans == nullptr || address == nullptr) return 0;
  const uintptr_t at = reinterpret_cast<uintptr_t>(address);
  for (const Span& span : *tSpans)
    if (at >= span.begin && at - span.begin < span.size) return span.size - (at - span.begin);
  return 0;
}

CallBuffers::CallBuffers() : m_outer(tSpans) {
  tSpans = new std::vector<Span>;
}

CallBuffers::~CallBuffers() {
  delete tSpans;
  tSpans = static_cast<std::vector<Span>*>(m_outer);
}

void CallBuffers::Add(const void* address, size_t size) {
  if (address != nullptr && size > 0)
    tSpans->push_back(Span{reinterpret_cast<uintptr_t>(address), size});
}

}  // namespace kvrpc
