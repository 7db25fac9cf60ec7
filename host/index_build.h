// Building an index of any of the four kinds over a data file through the
// engine's build calls (XBDNINDEX, XBDIINDEX, XBDCINDEX, XBDMTINDEX).
#pragma once
#include <cstdint>
#include <string>

#include "host/index_kind.h"
#include "host/xbase_binding.h"

namespace kvhost {

struct BuildRequest {
  std::string dataPath;
  int variant = 0;  // the data file's format variant; 0: the engine's default
  std::string indexPath;
  IndexKindChoice kind;
  std::string expression;
  char type = 0;      // 'C', 'N' or 'D'; 0: the type of the expression's value
  int length = 0;     // key length; 0: from the type, the field or the value
  int decimals = -1;  // NTX numeric keys; -1: the field's
  bool unique = false;
  bool descending = false;  // compact IDX and MDX only
};

struct BuildOutcome {
  XBSTATUS status = 0;  // the build call's status, or the engine's refusal before it
  std::string message;  // empty on success; else what went wrong
  uint32_t records = 0;
  char type = 0;  // the key type and length the build was given
  int length = 0;
  int decimals = 0;
  std::string tag;  // MDX: the tag built
};

// Opens the data file shared and read-only (the build only reads it, and
// its lock keeps writers out meanwhile), works out the key's type and length
// where the request leaves them open, and runs the build. The binding must
// have its index builds loaded (LoadIndexBuilds).
BuildOutcome BuildIndex(const XbaseBinding& xb, const BuildRequest& request);

}  // namespace kvhost
