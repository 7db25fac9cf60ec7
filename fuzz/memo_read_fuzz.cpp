// Opens arbitrary bytes as a memo file and reads, writes and rewrites memos
// in it: every call must end with a status, whatever the header, the entry
// lengths and the free chain claim. The first byte picks the layout (plain
// .DBT, block-size .DBT, .FPT), a line width and the block numbers tried;
// the rest is the file.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/engine_fuzz_support.h"
#include "kv/xbase.h"

namespace {

void Reset() {
  if (XBECODE() < 0) XBESCODE(0);
}

void ReadDbt(XBHANDLE h, uint32_t block, uint16_t mode) {
  char* text = nullptr;
  if (XBDTRGET(h, block, &text, mode) == 0 && text != nullptr) {
    // Touch every byte up to the NUL the engine promises.
    volatile size_t n = std::strlen(text);
    (void)n;
    XBMFREE(text);
  }
  Reset();
}

void ReadFpt(XBHANDLE h, uint32_t block) {
  char* text = nullptr;
  if (XBDWRGET(h, block, &text) == 0 && text != nullptr) {
    volatile size_t n = std::strlen(text);
    (void)n;
    XBMFREE(text);
  }
  Reset();
}

uint32_t Word(const uint8_t* data, size_t size, size_t at, bool bigEndian) {
  if (at + 4 > size) return 1;
  const uint8_t* p = data + at;
  return bigEndian
             ? uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]
             : uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kvfuzz::StartEngine("memo");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t control = data[0];
  const uint8_t* file = data + 1;
  const size_t fileSize = size - 1;
  if (!kvfuzz::WriteScratch(file, fileSize)) return 0;
  const int layout = control % 3;
  const uint16_t width = static_cast<uint16_t>((control >> 2) % 4 == 0 ? 0 : 10 + control % 123);
  // Blocks to try: the first few, the header's next free block and the
  // numbers the file's first entry words hold.
  const uint32_t next = Word(file, fileSize, 0, layout == 2);
  const uint32_t blocks[] = {
      1, 2, 3, control, next, next - 1, Word(file, fileSize, 4, layout == 2)};
  const std::string& path = kvfuzz::ScratchFile();
  const std::string text(static_cast<size_t>(control) * 5 + 1, 'x');

  XBESCODE(0);
  XBHANDLE h = XB_NO_HANDLE;
  if (layout == 2) {
    if (XBDWOPENX(&h, path.c_str(), 0) < 0) {
      XBESCODE(0);
      return 0;
    }
    XBFPTINFO info;
    XBDWINFO(h, &info);
    XBDWHGET(h);
    Reset();
    for (uint32_t b : blocks) ReadFpt(h, b);
    uint32_t block = 0;
    if (XBDWRPUT(h, &block, text.c_str(), 0) == 0) ReadFpt(h, block);
    Reset();
    for (uint32_t b : {1u, control + 0u, next}) {
      block = b;
      if (XBDWRPUT(h, &block, "rewritten", XB_MEMO_REWRITE) == 0) ReadFpt(h, block);
      Reset();
    }
    XBDWCLOSE(h);
  } else {
    const uint16_t variant = layout == 0 ? 1 : 2;
    if (XBDTOPENX(&h, path.c_str(), variant) < 0) {
      XBESCODE(0);
      return 0;
    }
    XBDBTINFO info;
    XBDTINFO(h, &info);
    XBDTHGET(h);
    Reset();
    for (uint32_t b : blocks) ReadDbt(h, b, (control & 1) ? XB_MEMO_REMOVE_BREAKS : 0);
    uint32_t block = 0;
    if (XBDTRPUT(h, &block, text.c_str(), width) == 0) ReadDbt(h, block, 0);
    Reset();
    for (uint32_t b : {1u, control + 0u, next}) {
      block = b;
      if (XBDTRPUT(h, &block, (text + " and more words").c_str(),
                   static_cast<uint16_t>(XB_MEMO_REWRITE | width)) == 0) {
        ReadDbt(h, block, XB_MEMO_REMOVE_BREAKS);
      }
      Reset();
    }
    XBDTCLOSE(h);
  }
  Reset();
  return 0;
}
