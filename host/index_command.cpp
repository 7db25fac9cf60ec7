#include "host/index_command.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/index_build.h"
#include "host/index_verdict.h"
#include "host/xbase_binding.h"

namespace kvhost {
namespace {

// Walks the options after the positional arguments.
class Options {
 public:
  Options(int argc, char** argv, int first) : argc_(argc), argv_(argv), i_(first) {}

  bool Done() const { return i_ >= argc_; }
  bool Is(const char* name) {
    if (std::strcmp(argv_[i_], name) != 0) return false;
    ++i_;
    return true;
  }
  bool Text(std::string& out) {
    if (i_ >= argc_) return false;
    out = argv_[i_++];
    return true;
  }
  bool Number(long lo, long hi, int& out) {
    if (i_ >= argc_) return false;
    char* end = nullptr;
    const long v = std::strtol(argv_[i_++], &end, 10);
    if (*end != '\0' || v < lo || v > hi) return false;
    out = static_cast<int>(v);
    return true;
  }
  bool Type(char& out) {
    std::string t;
    if (!Text(t) || t.size() != 1 || std::strchr("CNDcnd", t[0]) == nullptr) return false;
    out = static_cast<char>(t[0] & ~0x20);
    return true;
  }

 private:
  int argc_;
  char** argv_;
  int i_;
};

int Usage() {
  std::fprintf(stderr, "usage:\n%s", IndexUsage());
  return 2;
}

bool KindOption(Options& o, IndexKindChoice& kind) {
  std::string text;
  if (!o.Text(text)) return false;
  const std::optional<IndexKindChoice> parsed = ParseIndexKind(text);
  if (parsed) kind = *parsed;
  return parsed.has_value();
}

bool KindFromPath(const std::string& path, bool given, IndexKindChoice& kind) {
  if (given) return true;
  const std::optional<IndexKind> guessed = IndexKindOfPath(path);
  if (!guessed) {
    std::fprintf(stderr, "kvhost: %s: say which kind of index with --kind\n", path.c_str());
    return false;
  }
  kind.kind = *guessed;
  return true;
}

bool StartEngine(XbaseBinding& xb) {
  std::string error;
  if (!xb.Load(error) || !xb.LoadIndexBuilds(error)) {
    std::fprintf(stderr, "kvhost: %s\n", error.c_str());
    xb.Unload();
    return false;
  }
  if (xb.KV5InitInstance(0, 0) != 1) {
    std::fprintf(stderr, "kvhost: the engine did not start\n");
    xb.Unload();
    return false;
  }
  return true;
}

const char* BuildCall(IndexKind kind) {
  switch (kind) {
    case IndexKind::Ndx:
      return "XBDNINDEX";
    case IndexKind::Idx:
    case IndexKind::CompactIdx:
      return "XBDIINDEX";
    case IndexKind::Ntx:
      return "XBDCINDEX";
    case IndexKind::Mdx:
      return "XBDMTINDEX";
  }
  return "?";
}

int Build(int argc, char** argv) {
  if (argc < 2) return Usage();
  BuildRequest request;
  request.dataPath = argv[0];
  request.indexPath = argv[1];
  bool kindGiven = false;
  Options o(argc, argv, 2);
  while (!o.Done()) {
    bool ok = true;
    if (o.Is("--kind")) {
      ok = kindGiven = KindOption(o, request.kind);
    } else if (o.Is("--expr")) {
      ok = o.Text(request.expression);
    } else if (o.Is("--type")) {
      ok = o.Type(request.type);
    } else if (o.Is("--len")) {
      ok = o.Number(1, 255, request.length);
    } else if (o.Is("--dec")) {
      ok = o.Number(0, 15, request.decimals);
    } else if (o.Is("--variant")) {
      ok = o.Number(1, 9, request.variant);
    } else if (o.Is("--unique")) {
      request.unique = true;
    } else if (o.Is("--descending")) {
      request.descending = true;
    } else {
      ok = false;
    }
    if (!ok) return Usage();
  }
  if (request.expression.empty()) return Usage();
  if (!KindFromPath(request.indexPath, kindGiven, request.kind)) return 2;

  XbaseBinding xb;
  if (!StartEngine(xb)) return 1;
  const BuildOutcome built = BuildIndex(xb, request);
  int exit = 1;
  if (built.status < 0) {
    std::printf("build      FAILED: %s (status %d)\n", built.message.c_str(), built.status);
  } else {
    std::printf("build      %s over %u records, key type %c, length %d",
                BuildCall(request.kind.kind), built.records, built.type, built.length);
    if (request.kind.kind == IndexKind::Ntx) std::printf(", %d decimals", built.decimals);
    std::printf(": status %d\n", built.status);
    CheckRequest check;
    check.kind = request.kind.kind;
    check.tag = built.tag;
    check.keyType = built.type;
    check.freshBuild = true;
    const IndexVerdict verdict = CheckIndex(request.indexPath, check);
    PrintVerdict(verdict, stdout);
    exit = verdict.error.empty() ? 0 : 1;
  }
  xb.XBDTERM();
  xb.Unload();
  return exit;
}

int Check(int argc, char** argv) {
  if (argc < 1) return Usage();
  CheckRequest request;
  IndexKindChoice kind;
  bool kindGiven = false;
  Options o(argc, argv, 1);
  while (!o.Done()) {
    bool ok = true;
    if (o.Is("--kind")) {
      ok = kindGiven = KindOption(o, kind);
    } else if (o.Is("--tag")) {
      ok = o.Text(request.tag);
    } else if (o.Is("--type")) {
      ok = o.Type(request.keyType);
    } else if (o.Is("--lenient")) {
      request.lenient = true;
    } else {
      ok = false;
    }
    if (!ok) return Usage();
  }
  if (!KindFromPath(argv[0], kindGiven, kind)) return 2;
  request.kind = kind.kind;
  if (request.tag.empty()) request.tag = kind.tag;
  const IndexVerdict verdict = CheckIndex(argv[0], request);
  PrintVerdict(verdict, stdout);
  return verdict.error.empty() ? 0 : 1;
}

}  // namespace

const char* IndexUsage() {
  return "  kvhost index build DBF INDEX --expr EXPR [options]\n"
         "                                   build an index over every record, then check it\n"
         "  kvhost index check INDEX [options]\n"
         "                                   check an index file's invariants\n"
         "options of index build:\n"
         "  --kind K       ndx, idx, cidx (compact IDX), ntx or mdx:TAG (default: the extension)\n"
         "  --expr EXPR    the key expression\n"
         "  --type T       key type C, N or D (default: the expression's)\n"
         "  --len N        key length (default: the field's, the value's or the type's)\n"
         "  --dec N        decimals of a numeric NTX key (default: the field's)\n"
         "  --unique       one entry per key\n"
         "  --descending   descending order (compact IDX, MDX)\n"
         "  --variant N    open the data file as format variant N (1..9; default 1)\n"
         "options of index check:\n"
         "  --kind K       as for build (default: the extension)\n"
         "  --tag TAG      MDX: report this tag only\n"
         "  --type T       the key type, where the file does not record it (IDX, NTX)\n"
         "  --lenient      written by another program: skip the rules only this engine keeps\n";
}

int IndexCommand(int argc, char** argv) {
  if (argc >= 1 && std::strcmp(argv[0], "build") == 0) return Build(argc - 1, argv + 1);
  if (argc >= 1 && std::strcmp(argv[0], "check") == 0) return Check(argc - 1, argv + 1);
  return Usage();
}

}  // namespace kvhost
