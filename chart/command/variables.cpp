#include "chart/command/variables.h"

namespace kv::chart {
namespace {

// The library's one bound variable: a 16-bit integer the host may read.
int16_t boundInteger = 0;

constexpr VariableDescriptor kBoundIntegerTemplate{nullptr, kValueInt, sizeof(int16_t), 1, 0};

}  // namespace

int32_t BindVariable(uintptr_t index, BindVariableBlock* block) {
  switch (index) {
    case 0:
      return 1;
    case 1: {
      if (block == nullptr || block->descriptor == nullptr) return 0;
      boundInteger = 100;
      VariableDescriptor descriptor = kBoundIntegerTemplate;
      descriptor.storage = &boundInteger;
      *block->descriptor = descriptor;
      return 1;
    }
    default:
      return 0;
  }
}

}  // namespace kv::chart
