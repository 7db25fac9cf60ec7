// Internal (Windows build): the counts of live global blocks and graphic
// objects that tests check, one pair for the whole process. Each DLL of this
// build links its own copy of the layer, and a block or object one module
// makes is often freed by another (the host frees what a library hands it),
// so a count kept by each copy would miss what the others did and could even
// run below zero. The pair lives in memory named after the process, which
// every copy opens.
#pragma once
#include <cstddef>

namespace kvp::detail {

enum class LiveCount { GlobalBlocks = 0, GdiObjects = 1 };

void AddLive(LiveCount which, int delta);
size_t LiveTotal(LiveCount which);

}  // namespace kvp::detail
