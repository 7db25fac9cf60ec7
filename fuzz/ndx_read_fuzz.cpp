// Opens arbitrary bytes as an NDX index and walks it from both ends to the
// end status, finds keys and adds and deletes some: every call must end with
// a status, whatever the pages point at, and no walk may go round.
#include <cstdint>

#include "fuzz/engine_fuzz_support.h"
#include "kv/xbase.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kvfuzz::StartEngine("ndx");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte chooses the search flags and whether keys are added and
  // deleted; the rest is the file.
  const uint8_t control = data[0];
  if (!kvfuzz::WriteScratch(data + 1, size - 1)) return 0;
  XBESCODE(0);
  XBHANDLE h = XB_NO_HANDLE;
  if (XBDNOPENX(&h, kvfuzz::ScratchFile().c_str(), 0) < 0) {
    XBESCODE(0);
    return 0;
  }
  static const kvfuzz::KeyCalls<XBHANDLE> kCalls = {XBDNKTOP,  XBDNKBOT, XBDNKNEXT, XBDNKPREV,
                                                    XBDNKFIND, XBDNKCUR, XBDNKADD,  XBDNKDEL};
  kvfuzz::ExerciseKeys("ndx", kCalls, h, size - 1, control, 2);
  XBDNCLOSE(h);
  kvfuzz::ResetStatus();
  return 0;
}
