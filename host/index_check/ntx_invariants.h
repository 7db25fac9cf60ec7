// An independent reader of NTX files, written apart from the engine's own
// code: `kvhost index check` reports with it, and the engine's tests check
// every NTX file they write with it. It checks the B-tree's invariants
// from the bytes on disk: header sizes consistent with the key length, every
// page inside the file and reached once, each page's offset table a
// permutation of the item places a page has, counts within M and at least
// half a page below the root, every leaf at the same depth, leaves without
// children and interior items with them, keys in order along the in-order
// walk (equal keys by ascending record number unless the index is unique),
// every interior key between the keys of its two subtrees, and the chain of
// free pages well formed, apart from the tree, and together with it
// accounting for every page of the file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kvcheck {

struct NtxEntry {
  std::string key;  // L bytes as stored
  uint32_t record = 0;
};

struct NtxCheckOptions {
  // Keys written by other programs may hold duplicates of key and record,
  // or may not be in byte order at all (national collations).
  bool checkOrder = true;
  bool equalKeysByRecord = true;  // equal keys in ascending record order
  // A unique index holds each key once. The engine's adds do not refuse a
  // duplicate, so a unique index it kept may hold equal keys (in any record
  // order, since its searches go by key alone).
  bool uniqueKeysDistinct = true;
  bool checkFill = true;        // at least half a page below the root
  bool checkLayout = true;      // offset tables permute the fresh item places
  bool checkAccounting = true;  // tree + free chain = every page
};

struct NtxCheckResult {
  std::string error;              // empty when every invariant holds
  std::vector<NtxEntry> entries;  // in index order
  uint32_t root = 0;
  int depth = 0;  // levels below the root
  int keyLength = 0;
  int maxItems = 0;
  int decimals = 0;
  bool unique = false;
  uint32_t treePages = 0;
  uint32_t freePages = 0;
  std::string expression;
};

NtxCheckResult CheckNtxFile(const std::string& path, const NtxCheckOptions& options = {});

}  // namespace kvcheck
