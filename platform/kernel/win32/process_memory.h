// Internal (Windows build): memory that is the process's one, whichever
// copy of the layer asks for it. Each DLL of this build links its own copy
// of the layer, so state the design keeps per process (counts of live
// objects, the hooks a host sets, the input tests queue) lives in memory
// named after the process and the tag, which every copy opens.
#pragma once
#include <cstddef>

namespace kvp::detail {

// `size` bytes, zero-filled for the copy that asks first and the same bytes
// for every later one; null when the system has no memory to share.
// Never unmapped: the state serves until the process ends.
void* ProcessSharedMemory(const char* tag, size_t size);

}  // namespace kvp::detail
