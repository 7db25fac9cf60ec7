// The locking part of the xBase demo.
#pragma once
#include <string>

#include "host/xbase_binding.h"

namespace kvhost {

// Two processes contend for record 1 of a copy of the sample in a temporary
// directory: the first locks it, the second is refused, the first unlocks,
// the second gets it. Returns 0 when every step went as described.
int ShowRecordLocks(const XbaseBinding& xb, const std::string& sample);

}  // namespace kvhost
