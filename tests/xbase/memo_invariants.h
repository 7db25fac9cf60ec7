// An independent check of a block-size-layout .DBT file, made from its bytes
// alone: the free chain and the live memos must share the file's blocks
// without loss or double booking.
#pragma once
#include <cstdint>
#include <map>
#include <string>

namespace kvtest::memo {

struct ChainCheck {
  std::string error;  // empty when the file is sound
  uint32_t end = 0;   // the block where the chain ends (the file grows there)
  uint32_t runs = 0;  // freed runs in the chain
  uint32_t freeBlocks = 0;
  uint32_t usedBlocks = 0;
};

// `live` maps each live memo's first block to the text it must hold. Checks:
// the header marks and block size; every run of the chain has its 8-byte
// header inside the file, at least one block, and every block inside the
// file; the chain visits no run twice; no block is both free and used, or
// used by two memos; every entry starts FF FF 08 00 with the length of its
// text + 8 and holds the text; nothing lies at or beyond the chain's end.
// With `everyBlockAccounted`, each block between the header and the chain's
// end must be free or used (a block that is neither is lost).
ChainCheck CheckBlockSizeDbt(const std::string& bytes, const std::map<uint32_t, std::string>& live,
                             bool everyBlockAccounted);

}  // namespace kvtest::memo
