#include "chart/ext/call_block.h"

#include <algorithm>
#include <cstring>

namespace kv::ext {
namespace {

const void* Slot(const CallBlock& call, int k) {
  if (call.arguments == nullptr || k < 1) return nullptr;
  return call.arguments[k];
}

}  // namespace

int16_t SyntaxIndex(const CallBlock& call) {
  return call.syntaxIndex;
}

int32_t ArgInt(const CallBlock& call, int k) {
  const void* slot = Slot(call, k);
  if (slot == nullptr) return 0;
  int32_t value;
  std::memcpy(&value, slot, sizeof value);
  return value;
}

int16_t ArgInt16(const CallBlock& call, int k) {
  return static_cast<int16_t>(static_cast<uint16_t>(ArgInt(call, k) & 0xFFFF));
}

double ArgDouble(const CallBlock& call, int k) {
  const void* slot = Slot(call, k);
  if (slot == nullptr) return 0.0;
  double value;
  std::memcpy(&value, slot, sizeof value);
  return value;
}

char* ArgText(const CallBlock& call, int k) {
  return static_cast<char*>(const_cast<void*>(Slot(call, k)));
}

const FieldReference* ArgField(const CallBlock& call, int k) {
  return static_cast<const FieldReference*>(Slot(call, k));
}

void* ArgWindow(const CallBlock& call, int k) {
  const void* slot = Slot(call, k);
  if (slot == nullptr) return nullptr;
  void* window;
  std::memcpy(&window, slot, sizeof window);
  return window;
}

void* InstanceOf(const CallBlock& call) {
  return call.instance;
}
void* ModuleOf(const CallBlock& call) {
  return call.module;
}

bool AcceptsResult(const CallBlock& call, uint8_t type) {
  return call.resultType == type || call.resultType == kResultAny9 ||
         call.resultType == kResultAny10;
}

bool SetIntResult(CallBlock& call, int32_t value) {
  if (!AcceptsResult(call, kResultInt)) return false;
  if (call.resultBuffer == nullptr || call.resultCapacity < sizeof value) return false;
  call.resultType = kResultInt;
  std::memcpy(call.resultBuffer, &value, sizeof value);
  call.resultLength = sizeof value;
  return true;
}

bool SetTextResult(CallBlock& call, const char* text) {
  if (!AcceptsResult(call, kResultText)) return false;
  call.resultType = kResultText;
  size_t length = 0;
  if (call.resultBuffer != nullptr && call.resultCapacity > 0) {
    // The terminating zero must fit inside the host's buffer too.
    length = text != nullptr ? std::min<size_t>(std::strlen(text), call.resultCapacity - 1) : 0;
    auto* buffer = static_cast<char*>(call.resultBuffer);
    if (length > 0) std::memcpy(buffer, text, length);
    buffer[length] = '\0';
  }
  call.resultLength = static_cast<uint32_t>(length);
  return true;
}

}  // namespace kv::ext
