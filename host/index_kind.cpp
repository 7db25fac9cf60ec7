#include "host/index_kind.h"

#include <algorithm>
#include <cctype>

namespace kvhost {
namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::optional<IndexKind> KindOfWord(const std::string& word) {
  if (word == "ndx") return IndexKind::Ndx;
  if (word == "idx") return IndexKind::Idx;
  if (word == "cidx") return IndexKind::CompactIdx;
  if (word == "ntx") return IndexKind::Ntx;
  if (word == "mdx") return IndexKind::Mdx;
  return std::nullopt;
}

}  // namespace

std::optional<IndexKindChoice> ParseIndexKind(const std::string& text) {
  const size_t colon = text.find(':');
  const std::optional<IndexKind> kind = KindOfWord(Lower(text.substr(0, colon)));
  if (!kind) return std::nullopt;
  IndexKindChoice choice;
  choice.kind = *kind;
  if (colon != std::string::npos) {
    // Only an MDX file holds named tags.
    if (*kind != IndexKind::Mdx) return std::nullopt;
    choice.tag = text.substr(colon + 1);
  }
  return choice;
}

std::optional<IndexKind> IndexKindOfPath(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
  const std::string extension = Lower(path.substr(dot + 1));
  if (extension == "cidx") return std::nullopt;  // not an extension anyone uses
  return KindOfWord(extension);
}

const char* IndexKindName(IndexKind kind) {
  switch (kind) {
    case IndexKind::Ndx:
      return "NDX";
    case IndexKind::Idx:
      return "IDX";
    case IndexKind::CompactIdx:
      return "compact IDX";
    case IndexKind::Ntx:
      return "NTX";
    case IndexKind::Mdx:
      return "MDX";
  }
  return "?";
}

}  // namespace kvhost
