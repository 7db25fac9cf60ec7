// A CallBlock for kvcomm's functions in the benchmarks (the tests' builder
// lives with the tests).
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "kv/ext_protocol.h"

namespace commbench {

struct Call {
  std::vector<int32_t> ints;
  std::vector<void*> slots;
  std::vector<uint16_t> sizes;
  std::vector<char> result;
  CallBlock block{};

  Call(void* instance, int16_t syntax, std::vector<int32_t> integers, const char* text = nullptr,
       size_t textSize = 0, int textSlot = 0, uint32_t capacity = 64)
      : ints(std::move(integers)),
        slots(ints.size() + 2, nullptr),
        sizes(ints.size() + 2, 0),
        result(capacity + 1) {
    for (size_t k = 0; k < ints.size(); ++k) {
      slots[k + 1] = &ints[k];
      sizes[k + 1] = 4;
    }
    if (text != nullptr) {
      slots[static_cast<size_t>(textSlot)] = const_cast<char*>(text);
      sizes[static_cast<size_t>(textSlot)] = static_cast<uint16_t>(textSize);
    }
    std::memset(&block, 0, sizeof block);
    block.syntaxIndex = syntax;
    block.arguments = slots.data();
    block.argumentSizes = sizes.data();
    block.resultType = kResultAny9;
    block.resultBuffer = result.data();
    block.resultCapacity = capacity;
    block.instance = instance;
  }
  int32_t Run(KvLanguageFunction f) {
    block.resultType = kResultAny9;
    block.resultLength = 0;
    return f(&block);
  }
  int32_t Integer() const {
    int32_t v = 0;
    std::memcpy(&v, result.data(), 4);
    return v;
  }
};

}  // namespace commbench
