// Opens arbitrary bytes as an MDX file, uses its tags by slot and by name,
// walks each from both ends, finds keys, and (when the control byte says so)
// adds and deletes keys and erases a tag: every call must end with a status,
// whatever the tag table and the blocks point at.
#include <cstdint>
#include <cstring>

#include "fuzz/engine_fuzz_support.h"
#include "kv/xbase.h"

namespace {

void Reset() {
  if (XBECODE() < 0) XBESCODE(0);
}

void Exercise(XBHANDLE file, XBTAGHANDLE tag, uint8_t control) {
  char key[160] = {};
  uint32_t record = 0;
  XBSTATUS s = XBDMKTOP(tag, key, &record);
  for (int i = 0; i < 300 && s == 0; ++i) s = XBDMKNEXT(tag, key, &record);
  Reset();
  s = XBDMKBOT(tag, key, &record);
  for (int i = 0; i < 300 && s == 0; ++i) s = XBDMKPREV(tag, key, &record);
  Reset();
  const uint16_t flags = static_cast<uint16_t>(control & 0x07);
  for (const char* probe : {"", "A", "M?", "ZZZZ", "\x7F\xFF\x34\x05"}) {
    std::memset(key, 0, sizeof key);
    std::strcpy(key, probe);
    record = control;
    XBDMKFIND(tag, key, &record, flags);
    Reset();
    XBDMKCUR(tag, key, &record);
    Reset();
  }
  if (control & 0x80) {
    // Numeric and date tags read 12 or 8 key bytes: the key lies in a whole
    // buffer.
    char added[160] = "FUZZ\x34\x05\x12";
    for (uint32_t r = 1; r <= 40; ++r) {
      XBDMKADD(tag, added, r);
      Reset();
    }
    for (uint32_t r = 1; r <= 40; r += 2) {
      XBDMKDEL(tag, added, r);
      Reset();
    }
    char first[160] = {};
    if (XBDMKTOP(tag, first, &record) == 0) XBDMKDEL(tag, first, record);
    Reset();
  }
  XBMDXTAGINFO info;
  XBDMTINFO(tag, &info);
  Reset();
  char text[300];
  XBDMTEXPR(tag, text);
  Reset();
  (void)file;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kvfuzz::StartEngine("mdx");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte chooses the search flags and whether keys are changed;
  // the rest is the file.
  const uint8_t control = data[0];
  if (!kvfuzz::WriteScratch(data + 1, size - 1)) return 0;
  XBESCODE(0);
  XBHANDLE h = XB_NO_HANDLE;
  if (XBDMOPENX(&h, kvfuzz::ScratchFile().c_str(), 0) < 0) {
    XBESCODE(0);
    return 0;
  }
  XBMDXINFO info;
  XBDMINFO(h, &info);
  Reset();
  for (uint16_t slot = 1; slot <= 47 && slot <= info.tagCount; ++slot) {
    XBTAGHANDLE tag = 0;
    if (XBDMTUSEX(&tag, h, slot) < 0) {
      Reset();
      continue;
    }
    Exercise(h, tag, control);
    XBDMTCLOSE(tag);
    Reset();
  }
  XBTAGHANDLE named = 0;
  if (XBDMTUSE(&named, h, "NAME") == 0) XBDMTCLOSE(named);
  Reset();
  if (control & 0x40) {
    XBDMTERASE(h, "NAME");
    Reset();
    XBDMTNEW(h, "NEW", 'C', "A", 10);
    Reset();
  }
  XBDMCLOSE(h);
  Reset();
  return 0;
}
