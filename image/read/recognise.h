// Recognition of an image type from a source's first 32 bytes.
#pragma once
#include <cstddef>
#include <cstdint>

#include "image/read/decoder.h"

namespace kvimg {

inline constexpr size_t kRecognitionBytes = 32;

// The type the first bytes show; fewer than 32 bytes are unknown.
Recognition RecogniseBytes(const uint8_t* bytes, size_t count);

// Upper-cases a kind-0 source's name in place, reads its first 32 bytes and
// recognises them. The source is left where the read left it.
Recognition RecogniseSource(ByteSource& source);

}  // namespace kvimg
