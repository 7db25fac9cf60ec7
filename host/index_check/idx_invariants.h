// An independent reader of IDX files (standard and compact), written apart
// from the engine's own code: `kvhost index check` reports with it, and the
// engine's tests check every IDX file they write with it. It checks the
// tree's invariants from the bytes on disk: every node offset a multiple of
// 512 inside the file and reached once, counts within a node, every leaf at
// the same depth, the root flag on the root alone, no empty node below the
// root, keys in index order inside and across nodes (equal keys by ascending
// record number unless the index is unique), every interior key (and, in the
// compact form, record number) equal to the last entry of its child, compact
// leaves whose free-byte field equals what their entries leave over, the
// sibling links of every level naming the neighbours in key order (-1 at the
// ends), and the free-node list apart from the tree.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kvcheck {

struct IdxEntry {
  std::string key;  // L bytes as stored (compact keys expanded)
  uint32_t record = 0;
  bool operator==(const IdxEntry& o) const { return key == o.key && record == o.record; }
};

struct IdxCheckOptions {
  char pad = ' ';        // pad byte of trailing counts: blank for character keys
  bool keyOrder = true;  // keys in this engine's order (off: only the tree's shape)
};

struct IdxCheckResult {
  std::string error;              // empty when every invariant holds
  std::vector<IdxEntry> entries;  // in index order
  bool compact = false;
  bool descending = false;
  bool unique = false;
  int keyLength = 0;
  uint32_t root = 0;
  int depth = 0;
  int nodes = 0;
  int freeNodes = 0;
  uint64_t fileSize = 0;
};

IdxCheckResult CheckIdxFile(const std::string& path, const IdxCheckOptions& options = {});

}  // namespace kvcheck
