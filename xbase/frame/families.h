// Closing a handle of any family, for XBDTERM.
#pragma once
#include "xbase/frame/handle_table.h"

namespace kv::xb {

// Calls the close function of the slot's family.
void CloseByType(SlotType type, XBHANDLE handle);

}  // namespace kv::xb
