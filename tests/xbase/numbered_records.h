// The numbered records of the data-file writing tests, which a check can
// tell from their number alone: record r has NAME "R<r>" and NUM r * 1.5.
// Free of GoogleTest, so that the peer program fills them too.
#pragma once
#include <cstdint>
#include <string>

#include "kv/xbase.h"

namespace kvtest {

// Puts numbered record r's fields into the handle's record buffer.
inline XBSTATUS PutNumberedFields(XBHANDLE h, uint32_t r) {
  const std::string name = "R" + std::to_string(r);
  const double num = r * 1.5;
  const XBSTATUS s = XBDDFPUTS(h, 0, name.c_str());
  return s != 0 ? s : XBDDFPUT(h, 1, &num);
}

}  // namespace kvtest
