// Recognition and the reading frame over arbitrary bytes: the type found,
// then the registered decoder for it, header only and with pixels.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "fuzz/image_memory_source.h"
#include "image/frame/library_state.h"
#include "image/read/pixel_cap.h"
#include "image/read/recognise.h"
#include "platform/kernel/memory.h"

namespace {

void FreeRecord(ImageRecord* record) {
  if (record == nullptr) return;
  for (void* address : {static_cast<void*>(record->pixels), static_cast<void*>(record)}) {
    if (address == nullptr) continue;
    const kvp::HGLOBAL block = kvp::GlobalHandle(address);
    kvp::GlobalUnlock(block);
    kvp::GlobalFree(block);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kvimg::State().silent = true;
  const size_t liveBefore = kvp::GlobalLiveBlocks();
  // Hostile headers may name any size the cap allows: keep each run short.
  kvimg::SetPixelBlockCap(uint64_t{1} << 22);
  (void)kvimg::RecogniseBytes(data, size);
  for (const bool pixels : {false, true}) {
    ImageSource source;
    kvfuzz::OpenMemorySource(source, data, size);
    kvimg::ByteSource bytes(source);
    const kvimg::Recognition found = kvimg::RecogniseSource(bytes);
    if (!bytes.Rewind()) return 0;
    const kvimg::DecodeFunction decode = kvimg::FindDecoder(found.type);
    if (decode == nullptr) return 0;
    const kvimg::DecodeRequest request{bytes, source.name, pixels, found};
    FreeRecord(decode(request));
  }
  if (kvp::GlobalLiveBlocks() != liveBefore) __builtin_trap();  // a failure path kept a block
  return 0;
}
