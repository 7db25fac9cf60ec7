// Pieces of opening and describing a memo file that the dBASE and FoxPro
// memo families share.
#pragma once
#include <cstdint>

#include "kv/xbase.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/frame/handle_table.h"

namespace kv::xb::memo {

// The open flags of XBDTINFO and XBDWINFO: bit 0 read-only, bit 1 shared,
// bit 2 state-word bit 1.
inline uint16_t InfoFlags(uint16_t state) {
  return static_cast<uint16_t>(((state & kStateReadOnly) ? 1 : 0) |
                               ((state & kStateShared) ? 2 : 0) | ((state & kStateBit1) ? 4 : 0));
}

// Closes a file whose open failed its checks; the check's status stays,
// whatever the close reports.
inline XBSTATUS CloseAfterFailedOpen(int fileNo) {
  const XBSTATUS failure = Status();
  os::Close(fileNo);
  Current().status = failure;
  return failure;
}

}  // namespace kv::xb::memo
