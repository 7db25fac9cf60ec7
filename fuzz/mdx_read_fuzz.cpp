// Opens arbitrary bytes as an MDX file, uses its tags by slot and by name,
// walks each from both ends to the end status, finds keys, and (when the
// control byte says so) adds and deletes keys and erases a tag: every call
// must end with a status, whatever the tag table and the blocks point at,
// and no walk may go round.
#include <cstdint>

#include "fuzz/engine_fuzz_support.h"
#include "kv/xbase.h"

namespace {

void Exercise(XBTAGHANDLE tag, size_t fileBytes, uint8_t control) {
  static const kvfuzz::KeyCalls<XBTAGHANDLE> kCalls = {XBDMKTOP,  XBDMKBOT, XBDMKNEXT, XBDMKPREV,
                                                       XBDMKFIND, XBDMKCUR, XBDMKADD,  XBDMKDEL};
  kvfuzz::ExerciseKeys("mdx", kCalls, tag, fileBytes, control, 40);
  XBMDXTAGINFO info;
  XBDMTINFO(tag, &info);
  kvfuzz::ResetStatus();
  char text[300];
  XBDMTEXPR(tag, text);
  kvfuzz::ResetStatus();
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
  kvfuzz::ResetStatus();
  for (uint16_t slot = 1; slot <= 47 && slot <= info.tagCount; ++slot) {
    XBTAGHANDLE tag = 0;
    if (XBDMTUSEX(&tag, h, slot) < 0) {
      kvfuzz::ResetStatus();
      continue;
    }
    Exercise(tag, size - 1, control);
    XBDMTCLOSE(tag);
    kvfuzz::ResetStatus();
  }
  XBTAGHANDLE named = 0;
  if (XBDMTUSE(&named, h, "NAME") == 0) XBDMTCLOSE(named);
  kvfuzz::ResetStatus();
  if (control & 0x40) {
    XBDMTERASE(h, "NAME");
    kvfuzz::ResetStatus();
    XBDMTNEW(h, "NEW", 'C', "A", 10);
    kvfuzz::ResetStatus();
  }
  XBDMCLOSE(h);
  kvfuzz::ResetStatus();
  return 0;
}
