// The free chain of the block-size layout.
//
// The header's first word heads a chain of freed runs of blocks; each run
// begins with the number of the next run and its own size in blocks (both
// little-endian). The chain ends at a block that lies beyond the data (its
// first 8 bytes would reach past the end of the file): that block is where
// the file grows, the "next free block" of a file without freed runs.
//
// A run is taken first-fit from the head. A larger run is split: the front
// blocks are taken and the rest stays in the chain in the run's place, its
// predecessor relinked to it. Taking from the end moves the chain's end
// past the blocks taken.
#pragma once
#include <cstdint>

#include "xbase/memo/dbt_file.h"

namespace kv::xb::dbt {

// Blocks of the block-size layout an entry of `textLength` bytes needs.
uint64_t BlocksFor(const DbtMemo& memo, uint64_t textLength);

// Takes a run of `count` blocks; `*block` receives its first block. A chain
// that loops, runs outside the file or would hand out block 0 gives -18.
XBSTATUS TakeRun(DbtMemo& memo, uint32_t count, uint32_t* block);

// Puts the run of `count` blocks at `block` at the head of the chain.
XBSTATUS FreeRun(DbtMemo& memo, uint32_t block, uint32_t count);

}  // namespace kv::xb::dbt
