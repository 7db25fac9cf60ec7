// Creation and destruction of an InstanceContext (commands 1, 2 and 12).
#pragma once
#include <cstdint>

#include "kv/chart.h"

namespace kv::chart {

// A locked global block with empty chart and font lists and language 0; null
// when any part cannot be allocated (nothing is left behind).
InstanceContext* CreateInstance();

// Destroys every chart and font of the context and frees it. False for an
// address that is not a live global block (nothing is touched).
bool DestroyInstance(InstanceContext* context);

}  // namespace kv::chart
