#include "image/read/recognise.h"

#include <cstring>

namespace kvimg {

namespace {

// The JPEG start-of-image marker is searched over the first 30 offsets (so
// that both of its bytes lie inside the 32 read); only a file starting
// with it, or one behind a 12-byte prefix, is taken.
constexpr size_t kJpegSearchEnd = 30;
constexpr uint32_t kJpegPrefix = 12;

}  // namespace

Recognition RecogniseBytes(const uint8_t* bytes, size_t count) {
  Recognition found;
  if (bytes == nullptr || count < kRecognitionBytes) return found;
  if (std::memcmp(bytes, "GIF8", 4) == 0 && (bytes[4] == '7' || bytes[4] == '9') &&
      bytes[5] == 'a') {
    found.type = kImageTypeGif;
    return found;
  }
  if (bytes[0] == 'I' && bytes[1] == 'I' && bytes[2] == 42 && bytes[3] == 0) {
    found.type = kImageTypeTiff;
    return found;
  }
  if (bytes[0] == 'M' && bytes[1] == 'M' && bytes[2] == 0 && bytes[3] == 42) {
    found.type = kImageTypeTiff;
    found.bigEndian = true;
    return found;
  }
  for (size_t offset = 0; offset < kJpegSearchEnd; ++offset) {
    if (bytes[offset] == 0xFF && bytes[offset + 1] == 0xD8) {
      if (offset == 0 || offset == kJpegPrefix) {
        found.type = kImageTypeJpeg;
        found.jpegOffset = static_cast<uint32_t>(offset);
      }
      break;
    }
  }
  return found;
}

Recognition RecogniseSource(ByteSource& source) {
  ImageSource& raw = source.Raw();
  if (raw.kind == 0) {
    raw.name[sizeof raw.name - 1] = '\0';
    for (char* c = raw.name; *c != '\0'; ++c)
      if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
  }
  uint8_t first[kRecognitionBytes];
  if (!source.ReadExact(first, sizeof first)) return Recognition{};
  return RecogniseBytes(first, sizeof first);
}

}  // namespace kvimg
