// Creation and destruction of kvcomm's InstanceContext (commands 1 and 2)
// and the binding of the Email members (command 8).
#pragma once
#include <cstdint>

#include "kv/comm_instance.h"
#include "kv/ext_protocol.h"

namespace kv::comm {

// The context, its communications record and the 32000-byte message block,
// all zero-filled locked global blocks; the network marker set, Email.EnDehors
// 1, every port handle invalid. Null (nothing left behind) when any block
// cannot be allocated.
CommInstanceContext* CreateCommInstance();

// Closes what the instance's object list still holds, the most recent first
// (servers stopped, connections closed, mail sessions closed), closes every
// open port and frees the blocks. False for an address that is not a live
// global block (nothing is touched).
bool DestroyCommInstance(CommInstanceContext* context);

#pragma pack(push, 1)
// The block of command 8 (8 bytes on 32-bit).
struct BindVariableBlock {
  void* instance;
  VariableDescriptor* descriptor;
};
#pragma pack(pop)

// Copies the template of variable `index` (0 to 10) into the caller's
// descriptor with the address of that member's storage in the instance; 0
// for any other index, a missing block or an instance without a record.
int32_t BindCommVariable(uintptr_t index, const BindVariableBlock* block);

}  // namespace kv::comm
