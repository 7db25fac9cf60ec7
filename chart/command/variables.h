// Command 8: binding a language variable to storage inside the library.
#pragma once
#include <cstdint>

#include "kv/ext_protocol.h"

namespace kv::chart {

#pragma pack(push, 1)
// The block of command 8 (8 bytes on 32-bit).
struct BindVariableBlock {
  void* instance;
  VariableDescriptor* descriptor;
};
#pragma pack(pop)

// 1 for index 0 (descriptor unchanged) and index 1 (a 16-bit integer of the
// library, set to 100); 0 for any other index or a missing descriptor.
int32_t BindVariable(uintptr_t index, BindVariableBlock* block);

}  // namespace kv::chart
