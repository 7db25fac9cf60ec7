// Opens arbitrary bytes as a data file in every variant and reads every
// record and every field through each conversion.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/engine_fuzz_support.h"
#include "kv/xbase.h"

namespace {}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kvfuzz::StartEngine("dbf");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte chooses the variant and the date style; the rest is the
  // file.
  const uint16_t variant = static_cast<uint16_t>(data[0] % 10);
  const int16_t style = static_cast<int16_t>(1 + (data[0] >> 4) % 15);
  if (!kvfuzz::WriteScratch(data + 1, size - 1)) return 0;

  XBESCODE(0);
  XBCDSTYLE(style);
  XBHANDLE h = XB_NO_HANDLE;
  if (XBDDOPENX(&h, kvfuzz::ScratchFile().c_str(),
                static_cast<uint16_t>(variant | XB_OPEN_READONLY)) < 0) {
    XBESCODE(0);
    return 0;
  }
  XBRECINFO info;
  XBDDRINFO(h, &info);
  std::vector<XBFIELDDEF> defs(info.fieldCount + 1u);
  uint16_t longest = 0;
  XBDDFINFO(h, &longest, defs.data());
  size_t unpacked = 1;
  for (uint16_t i = 0; i < info.fieldCount; ++i) unpacked += defs[i].length + 9u;
  std::vector<uint8_t> record(unpacked);
  std::vector<char> value(longest + 32u);
  uint32_t count = 0;
  XBDDSIZE(h, &count);
  // Bounded so that a header claiming billions of records stays quick.
  for (uint32_t r = 0; r <= count + 1 && r < 64; ++r) {
    XBESCODE(0);
    XBDDRGETX(h, record.data(), r);
    for (uint16_t i = 0; i <= info.fieldCount; ++i) {
      XBESCODE(0);
      XBDDFGET(h, i, value.data());
      XBESCODE(0);
      XBDDFGETS(h, i, value.data());
    }
  }
  XBESCODE(0);
  char date[16];
  XBDDLUD(h, date, style);
  XBESCODE(0);
  XBDDCLOSE(h);
  XBESCODE(0);
  return 0;
}
