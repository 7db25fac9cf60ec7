// The IDX page writer of a bulk build: receives the entries in index order
// and fills the nodes bottom-up, each node written once. Every node is filled
// to the brim (the insert code splits a full node like any other), leaves and
// interior nodes of each level are chained by their sibling links, and the
// last node of each level keeps whatever entries are left (the layout asks
// for no minimum fill).
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "xbase/index/idx/idx_index.h"

namespace kv::xb::bulk {

class IdxPageWriter {
 public:
  // `ix` is the freshly created index, open: its first node (the empty
  // root) is the first leaf, later nodes go after it.
  explicit IdxPageWriter(idx::IdxIndex& ix);

  // One entry: L key bytes as stored, its record number.
  XBSTATUS Add(const uint8_t* key, uint32_t record);

  // Writes the last node of every level, the root and the header words.
  XBSTATUS Finish();

 private:
  struct Level {
    std::unique_ptr<idx::Node> node;
    uint32_t offset = 0;
    uint32_t left = idx::kNone;
    uint32_t used = 0;     // compact leaves: descriptor and key bytes taken
    uint32_t highest = 0;  // compact leaves: greatest record number held
  };

  XBSTATUS Append(size_t level, const uint8_t* key, uint32_t record, uint32_t child);
  bool Fits(Level& lv, bool leaf, const uint8_t* key, uint32_t record, idx::LeafFormat* format,
            uint32_t* used) const;
  XBSTATUS Write(Level& lv, uint32_t right);
  void Start(Level& lv, bool leaf, uint32_t left, uint32_t offset);
  uint32_t Allocate();

  idx::IdxIndex& ix_;
  std::vector<Level> levels_;
  uint32_t end_ = 0;  // offset of the next node to hand out
  uint8_t bytes_[idx::kNodeSize] = {};
};

}  // namespace kv::xb::bulk
