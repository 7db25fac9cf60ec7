#include "image/read/decoder.h"

namespace kvimg {

namespace {

struct Slot {
  int16_t type;
  DecodeFunction decode;
};

// A handful of formats: a fixed table filled at load time, before any call.
struct Registry {
  Slot slots[8] = {};
  int count = 0;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

DecoderRegistration::DecoderRegistration(int16_t type, DecodeFunction decode) {
  Registry& registry = TheRegistry();
  for (int i = 0; i < registry.count; ++i) {
    if (registry.slots[i].type == type) {
      registry.slots[i].decode = decode;
      return;
    }
  }
  if (registry.count < static_cast<int>(sizeof registry.slots / sizeof registry.slots[0]))
    registry.slots[registry.count++] = Slot{type, decode};
}

DecodeFunction FindDecoder(int16_t type) {
  const Registry& registry = TheRegistry();
  for (int i = 0; i < registry.count; ++i)
    if (registry.slots[i].type == type) return registry.slots[i].decode;
  return nullptr;
}

}  // namespace kvimg
