// Opens arbitrary bytes as an NTX index and walks it from both ends to the
// end status, finds keys, and adds and deletes some: every call must end
// with a status, whatever the pages, their offset tables and the free chain
// point at, and no walk may go round.
#include <cstdint>
#include <cstring>

#include "fuzz/engine_fuzz_support.h"
#include "kv/xbase.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kvfuzz::StartEngine("ntx");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte chooses the search flags, whether keys are added and
  // deleted and how many; the rest is the file.
  const uint8_t control = data[0];
  if (!kvfuzz::WriteScratch(data + 1, size - 1)) return 0;
  XBESCODE(0);
  XBHANDLE h = XB_NO_HANDLE;
  if (XBDCOPENX(&h, kvfuzz::ScratchFile().c_str(), 0) < 0) {
    XBESCODE(0);
    return 0;
  }
  char key[128] = {};
  XBDCKNUM(h, key, -12.5);
  kvfuzz::ResetStatus();
  static const kvfuzz::KeyCalls<XBHANDLE> kCalls = {XBDCKTOP,  XBDCKBOT, XBDCKNEXT, XBDCKPREV,
                                                    XBDCKFIND, XBDCKCUR, XBDCKADD,  XBDCKDEL};
  kvfuzz::ExerciseKeys("ntx", kCalls, h, size - 1, control, (control & 0x70) / 8 + 1);
  XBDCCLOSE(h);
  kvfuzz::ResetStatus();
  return 0;
}
