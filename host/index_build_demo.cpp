#include "host/index_build_demo.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "host/index_build.h"
#include "host/index_verdict.h"

namespace kvhost {
namespace {

struct DemoIndex {
  const char* file;
  const char* kind;
  const char* expression;
  bool descending;
};

// One of each kind, over a character field, a numeric field (descending), a
// date field and a computed character key.
const DemoIndex kIndexes[] = {
    {"names.ndx", "ndx", "NAME", false},
    {"balance.idx", "cidx", "BALANCE", true},
    {"places.ntx", "ntx", "LEFT(COUNTRY,3)+CITY", false},
    {"custs.mdx", "mdx:SINCE", "SINCE", false},
};

void PrintKey(const char* label, const std::optional<ShownKey>& key) {
  if (key) std::printf("  %-5s %s  record %u", label, key->text.c_str(), key->record);
}

}  // namespace

int ShowIndexBuilds(XbaseBinding& xb, const std::string& sample) {
  std::string error;
  if (!xb.LoadIndexBuilds(error)) {
    std::printf("index builds: %s\n", error.c_str());
    return 1;
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "kvhost-build-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const std::filesystem::path dir = pattern;

  std::printf("Index builds over the sample, one call each, then the format's invariant check:\n");
  int failures = 0;
  for (const DemoIndex& demo : kIndexes) {
    BuildRequest request;
    request.dataPath = sample;
    request.indexPath = (dir / demo.file).string();
    request.kind = *ParseIndexKind(demo.kind);
    request.expression = demo.expression;
    request.descending = demo.descending;
    const BuildOutcome built = BuildIndex(xb, request);
    std::printf("  %-14s %-21s status %d", demo.file, demo.expression, built.status);
    if (built.status < 0) {
      std::printf("  %s\n", built.message.c_str());
      ++failures;
      continue;
    }
    CheckRequest check;
    check.kind = request.kind.kind;
    check.tag = built.tag;
    check.keyType = built.type;
    check.freshBuild = true;
    const IndexVerdict verdict = CheckIndex(request.indexPath, check);
    if (!verdict.error.empty() || verdict.parts.empty()) {
      std::printf("  damaged: %s\n", verdict.error.c_str());
      ++failures;
      continue;
    }
    const IndexPartVerdict& part = verdict.parts.front();
    std::printf("  %s, sound, %d level%s, %zu keys\n", verdict.format.c_str(), part.levels,
                part.levels == 1 ? "" : "s", part.keys);
    PrintKey("first", part.first);
    PrintKey(" last", part.last);
    std::printf("\n");
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return failures == 0 ? 0 : 1;
}

}  // namespace kvhost
