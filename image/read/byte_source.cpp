#include "image/read/decoder.h"

namespace kvimg {

bool ByteSource::ReadExact(void* buffer, uint32_t count) {
  if (count == 0) return true;
  if (source_.read == nullptr || buffer == nullptr) return false;
  return source_.read(&source_, buffer, count) != 0;
}

int32_t ByteSource::ReadSome(void* buffer, uint32_t count) {
  if (source_.readSome == nullptr || buffer == nullptr) return -1;
  if (count == 0) return 0;
  const int32_t got = source_.readSome(&source_, buffer, count);
  // A host answering more than it was asked for is treated as a failure:
  // the caller's buffer holds only `count` bytes.
  if (got < 0 || static_cast<uint32_t>(got) > count) return -1;
  return got;
}

bool ByteSource::Seek(uint32_t position) {
  if (source_.seek == nullptr || position > INT32_MAX) return false;
  return source_.seek(&source_, static_cast<int32_t>(position), 0) != -1;
}

bool ByteSource::Rewind() {
  if (source_.rewind != nullptr) return source_.rewind(&source_, 0) != -1;
  return Seek(0);
}

bool ByteSource::Skip(uint32_t count) {
  uint8_t scratch[256];
  while (count > 0) {
    const uint32_t piece = count < sizeof scratch ? count : sizeof scratch;
    if (!ReadExact(scratch, piece)) return false;
    count -= piece;
  }
  return true;
}

int32_t ByteSource::Size() {
  if (source_.size == nullptr) return -1;
  return source_.size(&source_);
}

}  // namespace kvimg
