// A port's entry in the "Ports" section of the system profile:
// "baud,parity,data bits,stop bits", for example "9600,n,8,1". Parity
// letters n, e, o and stop bits 1, 1.5, 2 are compared exactly; a field
// that matches nothing leaves that setting as it was.
#pragma once
#include <string_view>

#include "platform/commport/comm_state.h"

namespace kv::comm {

// The entry's value holds at most 200 characters.
inline constexpr size_t kPortEntryCapacity = 201;

void ApplyPortEntry(std::string_view entry, kvp::DCB& dcb);

}  // namespace kv::comm
