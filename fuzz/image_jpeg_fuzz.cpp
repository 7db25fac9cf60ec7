// The JPEG reader over arbitrary bytes, behind no prefix and behind the
// 12-byte prefix: every failure must be reported and free what it built.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "fuzz/image_memory_source.h"
#include "image/frame/library_state.h"
#include "image/read/decoder.h"
#include "image/read/pixel_cap.h"
#include "platform/kernel/memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kvimg::State().silent = true;
  const size_t liveBefore = kvp::GlobalLiveBlocks();
  kvimg::SetPixelBlockCap(uint64_t{1} << 22);
  const kvimg::DecodeFunction decode = kvimg::FindDecoder(kImageTypeJpeg);
  if (decode == nullptr) __builtin_trap();
  // The first byte chooses the prefix and whether pixels are read.
  if (size < 1) return 0;
  const bool prefixed = (data[0] & 1) != 0;
  const bool pixels = (data[0] & 2) == 0;
  std::vector<uint8_t> bytes;
  if (prefixed) bytes.assign(12, 0x55);
  bytes.insert(bytes.end(), data + 1, data + size);
  ImageSource source;
  kvfuzz::OpenMemorySource(source, bytes.data(), bytes.size());
  kvimg::ByteSource byteSource(source);
  kvimg::Recognition recognition;
  recognition.type = kImageTypeJpeg;
  recognition.jpegOffset = prefixed ? 12 : 0;
  const kvimg::DecodeRequest request{byteSource, source.name, pixels, recognition};
  if (ImageRecord* record = decode(request)) {
    if (pixels && record->pixels == nullptr) __builtin_trap();
    for (void* address : {static_cast<void*>(record->pixels), static_cast<void*>(record)}) {
      if (address == nullptr) continue;
      const kvp::HGLOBAL block = kvp::GlobalHandle(address);
      kvp::GlobalUnlock(block);
      kvp::GlobalFree(block);
    }
  }
  if (kvp::GlobalLiveBlocks() != liveBefore) __builtin_trap();
  return 0;
}
