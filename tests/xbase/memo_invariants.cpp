#include "tests/xbase/memo_invariants.h"

#include <set>
#include <vector>

namespace kvtest::memo {

namespace {

uint32_t Word(const std::string& b, uint64_t at) {
  const auto* p = reinterpret_cast<const uint8_t*>(b.data() + at);
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

std::string Where(const char* what, uint64_t block) {
  return std::string(what) + " at block " + std::to_string(block);
}

}  // namespace

ChainCheck CheckBlockSizeDbt(const std::string& bytes, const std::map<uint32_t, std::string>& live,
                             bool everyBlockAccounted) {
  ChainCheck out;
  const uint64_t length = bytes.size();
  if (length < 24) {
    out.error = "file shorter than its header";
    return out;
  }
  if (bytes[18] != 2 || bytes[19] != 1) {
    out.error = "header bytes 18/19 are not 2/1";
    return out;
  }
  const uint64_t bs = static_cast<uint8_t>(bytes[20]) | static_cast<uint8_t>(bytes[21]) << 8;
  if (bs < 512 || bs > 16384) {
    out.error = "block size " + std::to_string(bs);
    return out;
  }
  const uint64_t blocks = (length + bs - 1) / bs;
  // 0 free, 1 in a freed run, 2 in a live memo.
  std::vector<uint8_t> owner(blocks + 1, 0);

  std::set<uint64_t> visited;
  uint64_t current = Word(bytes, 0);
  while (current * bs + 8 <= length) {
    if (current == 0) {
      out.error = "the chain reaches the header block";
      return out;
    }
    if (!visited.insert(current).second) {
      out.error = Where("the chain loops", current);
      return out;
    }
    const uint64_t next = Word(bytes, current * bs);
    const uint64_t size = Word(bytes, current * bs + 4);
    if (size == 0 || (current + size - 1) * bs >= length) {
      out.error = Where("freed run of bad size", current);
      return out;
    }
    for (uint64_t b = current; b < current + size; ++b) {
      if (owner[b] != 0) {
        out.error = Where("block freed twice", b);
        return out;
      }
      owner[b] = 1;
    }
    ++out.runs;
    out.freeBlocks += static_cast<uint32_t>(size);
    current = next;
  }
  out.end = static_cast<uint32_t>(current);

  for (const auto& [block, text] : live) {
    const uint64_t at = uint64_t{block} * bs;
    if (block == 0 || at + 8 > length) {
      out.error = Where("live memo outside the file", block);
      return out;
    }
    if (bytes.compare(at, 4, std::string("\xFF\xFF\x08\x00", 4)) != 0) {
      out.error = Where("live memo without entry signature", block);
      return out;
    }
    const uint64_t entry = Word(bytes, at + 4);
    if (entry != text.size() + 8 || at + entry > length) {
      out.error = Where("live memo of wrong length", block);
      return out;
    }
    if (bytes.compare(at + 8, text.size(), text) != 0) {
      out.error = Where("live memo with other text", block);
      return out;
    }
    const uint64_t count = (entry + bs - 1) / bs;
    for (uint64_t b = block; b < block + count; ++b) {
      if (b >= owner.size() || owner[b] != 0) {
        out.error = Where(b < owner.size() && owner[b] == 1 ? "block both free and used"
                                                            : "block used by two memos",
                          b);
        return out;
      }
      owner[b] = 2;
    }
    out.usedBlocks += static_cast<uint32_t>(count);
  }
  for (uint64_t b = 1; b < owner.size(); ++b) {
    if (owner[b] != 0 && b >= out.end) {
      out.error = Where("block in use at or beyond the chain's end", b);
      return out;
    }
    if (everyBlockAccounted && owner[b] == 0 && b < out.end) {
      out.error = Where("block lost: neither free nor used", b);
      return out;
    }
  }
  return out;
}

}  // namespace kvtest::memo
