// Opens arbitrary bytes as an NTX index and walks it from both ends, finds
// keys, and adds and deletes some: every call must end with a status,
// whatever the pages, their offset tables and the free chain point at.
#include <cstdint>
#include <cstring>

#include "fuzz/engine_fuzz_support.h"
#include "kv/xbase.h"

namespace {

void Reset() {
  if (XBECODE() < 0) XBESCODE(0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kvfuzz::StartEngine("ntx");
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
  if (XBDCOPENX(&h, kvfuzz::ScratchFile().c_str(), 0) < 0) {
    XBESCODE(0);
    return 0;
  }
  // Keys are up to 100 bytes and a NUL.
  char key[128] = {};
  uint32_t record = 0;
  XBSTATUS s = XBDCKTOP(h, key, &record);
  for (int i = 0; i < 300 && s == 0; ++i) s = XBDCKNEXT(h, key, &record);
  Reset();
  s = XBDCKBOT(h, key, &record);
  for (int i = 0; i < 300 && s == 0; ++i) s = XBDCKPREV(h, key, &record);
  Reset();
  const uint16_t flags = static_cast<uint16_t>(control & 0x07);
  for (const char* probe : {"", "A", "M?", "0001", "ZZZZ", "\x7F\xFF"}) {
    std::memset(key, 0, sizeof key);
    std::strcpy(key, probe);
    record = control;
    XBDCKFIND(h, key, &record, flags);
    Reset();
    XBDCKCUR(h, key, &record);
    Reset();
  }
  std::memset(key, 0, sizeof key);
  XBDCKNUM(h, key, -12.5);
  Reset();
  if (control & 0x80) {
    for (int i = 0; i < (control & 0x70) / 8 + 1; ++i) {
      char added[128] = "FUZZ";
      added[4] = static_cast<char>('A' + i);
      XBDCKADD(h, added, 7 + i);
      Reset();
    }
    XBDCKDEL(h, "FUZZA", 7);
    Reset();
    char first[128] = {};
    if (XBDCKTOP(h, first, &record) == 0) XBDCKDEL(h, first, record);
    Reset();
    if (XBDCKBOT(h, first, &record) == 0) XBDCKDEL(h, first, record);
    Reset();
  }
  XBDCCLOSE(h);
  Reset();
  return 0;
}
