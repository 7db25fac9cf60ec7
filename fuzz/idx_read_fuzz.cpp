// Opens arbitrary bytes as an IDX index (standard or compact) and walks it
// from both ends, finds keys, adds and deletes some: every call must end with
// a status, whatever the nodes point at or however their descriptors are
// packed. The seeds are small standard and compact indexes of character and
// numeric keys made by the engine, two and three levels deep.
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
  Reset();
  char key[128] = {};
  uint32_t record = 0;
  XBSTATUS s = XBDIKTOP(h, key, &record);
  for (int i = 0; i < 300 && s == 0; ++i) s = XBDIKNEXT(h, key, &record);
  Reset();
  s = XBDIKBOT(h, key, &record);
  for (int i = 0; i < 300 && s == 0; ++i) s = XBDIKPREV(h, key, &record);
  Reset();
  const uint16_t flags = static_cast<uint16_t>(control & 0x07);
  for (const char* probe : {"", "A", "M?", "ZZZZ", "\x7F\xFF"}) {
    std::memset(key, 0, sizeof key);
    std::strcpy(key, probe);
    record = control;
    XBDIKFIND(h, key, &record, flags);
    Reset();
    XBDIKCUR(h, key, &record);
    Reset();
  }
  if (control & 0x80) {
    // Binary keys read the key length: every key lies in a whole buffer.
    for (int i = 0; i < 12; ++i) {
      char added[128] = "FUZZ";
      added[4] = static_cast<char>('A' + i);
      XBDIKADD(h, added, 7 + i);
      Reset();
    }
    for (int i = 0; i < 12; i += 2) {
      char added[128] = "FUZZ";
      added[4] = static_cast<char>('A' + i);
      XBDIKDEL(h, added, 7 + i);
      Reset();
    }
    char first[128] = {};
    if (XBDIKTOP(h, first, &record) == 0) XBDIKDEL(h, first, record);
    Reset();
  }
  XBDICLOSE(h);
  Reset();
  return 0;
}
