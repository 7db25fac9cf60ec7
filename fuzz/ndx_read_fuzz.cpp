// Opens arbitrary bytes as an NDX index and walks it from both ends, finds
// keys and adds one: every call must end with a status, whatever the pages
// point at.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/engine_fuzz_support.h"
#include "kv/xbase.h"

namespace {

void Reset() {
  if (XBECODE() < 0) XBESCODE(0);
}

}  // namespace

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
  char key[128] = {};
  uint32_t record = 0;
  XBSTATUS s = XBDNKTOP(h, key, &record);
  for (int i = 0; i < 300 && s == 0; ++i) s = XBDNKNEXT(h, key, &record);
  Reset();
  s = XBDNKBOT(h, key, &record);
  for (int i = 0; i < 300 && s == 0; ++i) s = XBDNKPREV(h, key, &record);
  Reset();
  const uint16_t flags = static_cast<uint16_t>(control & 0x07);
  for (const char* probe : {"", "A", "M?", "ZZZZ", "\x7F\xFF"}) {
    std::memset(key, 0, sizeof key);
    std::strcpy(key, probe);
    record = control;
    XBDNKFIND(h, key, &record, flags);
    Reset();
    XBDNKCUR(h, key, &record);
    Reset();
  }
  if (control & 0x80) {
    // Numeric indexes read 8 key bytes: the key lies in a whole buffer.
    char added[128] = "FUZZ";
    XBDNKADD(h, added, 7);
    Reset();
    XBDNKDEL(h, added, 7);
    Reset();
    char first[128] = {};
    if (XBDNKTOP(h, first, &record) == 0) XBDNKDEL(h, first, record);
    Reset();
  }
  XBDNCLOSE(h);
  Reset();
  return 0;
}
