// The verdict on an index file: the format's invariant checker run over the
// bytes on disk, and a short report a person can read (depth, key count,
// first and last keys).
#pragma once
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "host/index_kind.h"

namespace kvhost {

struct CheckRequest {
  IndexKind kind = IndexKind::Ndx;  // Idx and CompactIdx check alike
  std::string tag;                  // MDX: report this tag only (empty: every tag)
  char keyType = 0;         // IDX, NTX: 'C', 'N' or 'D' (files do not record it); 0: unknown
  bool lenient = false;     // written by another program: only the rules every writer keeps
  bool freshBuild = false;  // just built and closed: every page belongs to the tree
};

struct ShownKey {
  std::string text;  // as a person reads it (UTF-8, quoted text or a number)
  uint32_t record = 0;
};

// The whole tree of a single-file index, or one tag of an MDX file.
struct IndexPartVerdict {
  std::string name;    // the tag's name; empty for a single-file index
  std::string layout;  // key type and length, order, uniqueness
  int levels = 0;      // 1: the root is a leaf
  size_t keys = 0;
  std::optional<ShownKey> first;
  std::optional<ShownKey> last;
  // --lenient: the order the stored keys seem to follow (see key_order.h).
  std::string order;
};

struct IndexVerdict {
  std::string path;
  std::string format;  // "NDX", "IDX (compact form)", "MDX (2 tags)", ...
  std::string error;   // empty when every invariant holds
  // --lenient keeps the parts of a file whose only fault is its key order.
  std::vector<IndexPartVerdict> parts;
};

IndexVerdict CheckIndex(const std::string& path, const CheckRequest& request);

// Prints the verdict; damaged files say what is wrong.
void PrintVerdict(const IndexVerdict& verdict, std::FILE* out);

}  // namespace kvhost
