// An independent reader of MDX files, written apart from the engine's own
// code: `kvhost index check` reports with it, and the engine's tests check
// every MDX file they write with it. It checks their invariants from the
// bytes on disk: the header and the tag table (slots 1..n filled, the rest
// empty), every tag header, every node block inside the file and reached
// once, counts within K, every leaf at the same depth, keys in order inside
// and across nodes (equal keys by ascending record number unless the tag is
// unique), every interior key equal to the greatest key of its subtree, the
// free list well formed, apart from the trees and as long as the header
// says, and every block of the file either a tag header, a node or free.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kvcheck {

struct MdxEntry {
  std::string key;  // L bytes as stored
  uint32_t record = 0;
};

struct MdxTagReport {
  std::string name;
  char type = 0;
  int keyLength = 0;
  int keysPerBlock = 0;
  bool unique = false;
  bool descending = false;
  uint32_t headerBlock = 0;
  uint32_t root = 0;
  int depth = 0;
  std::string expression;
  std::vector<MdxEntry> entries;  // in tag order
};

struct MdxCheckResult {
  std::string error;  // empty when every invariant holds
  int units = 0;
  uint32_t nextBlock = 0;
  uint32_t freeBlocks = 0;
  std::vector<MdxTagReport> tags;  // slots 1..n
};

struct MdxCheckOptions {
  bool minimumFill = true;      // nodes below the root hold at least K / 2 keys
  bool everyBlockKnown = true;  // each block a tag header, a node or free
  bool keyOrder = true;         // keys in this engine's order (off: only the tree's shape)
};

MdxCheckResult CheckMdxFile(const std::string& path, const MdxCheckOptions& options = {});

// Orders two stored keys of a tag as the tag must (bytes, the doubles of
// date keys, the values of the 12-byte numeric form), reversed when
// descending.
int CompareMdxKeys(const std::string& a, const std::string& b, char type, bool descending);

// The value of a 12-byte numeric key, decoded digit by digit.
long double DecodeMdxNumber(const std::string& key);

}  // namespace kvcheck
