// Opens arbitrary bytes as an IDX index (standard or compact) and walks it
// from both ends to the end status, finds keys, adds and deletes some: every
// call must end with a status, whatever the nodes point at or however their
// descriptors are packed, and no walk may go round. The seeds are small
// standard and compact indexes of character and numeric keys made by the
// engine, two and three levels deep.
#include <cstdint>

#include "fuzz/engine_fuzz_support.h"
#include "kv/xbase.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kvfuzz::StartEngine("idx");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte chooses the declared key type, the search flags and
  // whether keys are added and deleted; the rest is the file.
  const uint8_t control = data[0];
  if (!kvfuzz::WriteScratch(data + 1, size - 1)) return 0;
  XBESCODE(0);
  XBHANDLE h = XB_NO_HANDLE;
  if (XBDIOPENX(&h, kvfuzz::ScratchFile().c_str(), 0) < 0) {
    XBESCODE(0);
    return 0;
  }
  static const char kTypes[] = {'C', 'N', 'D', 0};
  if (kTypes[(control >> 3) & 3] != 0)
    XBDIKTYPE(h, static_cast<uint16_t>(kTypes[(control >> 3) & 3]));
  kvfuzz::ResetStatus();
  static const kvfuzz::KeyCalls<XBHANDLE> kCalls = {XBDIKTOP,  XBDIKBOT, XBDIKNEXT, XBDIKPREV,
                                                    XBDIKFIND, XBDIKCUR, XBDIKADD,  XBDIKDEL};
  kvfuzz::ExerciseKeys("idx", kCalls, h, size - 1, control, 12);
  XBDICLOSE(h);
  kvfuzz::ResetStatus();
  return 0;
}
