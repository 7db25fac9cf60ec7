// An independent reader of NDX files, written apart from the engine's own
// code: `kvhost index check` reports with it, and the engine's tests check
// every NDX file they write with it. It checks the B+-tree's invariants
// from the bytes on disk: every page within the file and reached once, counts
// within K, every leaf at the same depth, no empty page below the root, keys
// in order inside and across pages (equal keys by ascending record number
// unless the index is unique), every interior key equal to the greatest key
// of its subtree, and the chain of free pages well formed and apart from the
// tree.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kvcheck {

struct NdxEntry {
  std::string key;  // L bytes as stored
  uint32_t record = 0;
};

struct NdxCheckOptions {
  int asciiSort = 1;       // how character keys are ordered
  uint32_t freeHead = 0;   // head of the free chain held by an open handle
  bool compacted = false;  // after close: every page is in the tree
  bool keyOrder = true;    // keys in this engine's order (off: only the tree's shape)
};

struct NdxCheckResult {
  std::string error;              // empty when every invariant holds
  std::vector<NdxEntry> entries;  // in index order
  uint32_t root = 0;
  uint32_t endPage = 0;
  int depth = 0;
  int keyLength = 0;
  int keysPerPage = 0;
  int keyType = 0;
  bool unique = false;
  uint32_t freePages = 0;
};

NdxCheckResult CheckNdxFile(const std::string& path, const NdxCheckOptions& options = {});

// Orders two stored keys as the index must: bytes or the collating order
// for character keys, the doubles' values for numeric ones.
int CompareStoredKeys(const std::string& a, const std::string& b, int keyType, int asciiSort);

}  // namespace kvcheck
