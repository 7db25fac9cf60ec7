// The four index kinds the tools build and check, named as people type them:
// "ndx", "idx" (standard IDX), "cidx" (compact IDX), "ntx" and "mdx[:TAG]".
#pragma once
#include <optional>
#include <string>

namespace kvhost {

enum class IndexKind { Ndx, Idx, CompactIdx, Ntx, Mdx };

struct IndexKindChoice {
  IndexKind kind = IndexKind::Ndx;
  std::string tag;  // MDX only: the tag after "mdx:", may be empty
};

// "ndx", "idx", "cidx", "ntx", "mdx" or "mdx:TAG" (case-insensitive);
// nothing for any other text.
std::optional<IndexKindChoice> ParseIndexKind(const std::string& text);

// The kind a file name's extension suggests (.ndx, .idx, .ntx, .mdx); an
// .idx file may hold either IDX form, which the check finds out itself.
std::optional<IndexKind> IndexKindOfPath(const std::string& path);

const char* IndexKindName(IndexKind kind);

}  // namespace kvhost
