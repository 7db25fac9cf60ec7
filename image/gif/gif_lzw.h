// The variable-length LZW code of GIF image data: codes read least
// significant bit first from the image's data sub-blocks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/readers/reader_core.h"

namespace kv::image::gif {

// The image data as one bit stream across its sub-blocks (a length byte, then
// that many bytes; a zero length ends the data).
class SubBlockReader {
 public:
  explicit SubBlockReader(ByteSource& source) : source_(source) {}
  // Next data byte; false at the end of the data or on a read failure.
  bool next_byte(uint8_t& byte);
  bool failed() const { return failed_; }

 private:
  ByteSource& source_;
  uint8_t block_[255];
  size_t block_size_ = 0;
  size_t block_pos_ = 0;
  bool ended_ = false;
  bool failed_ = false;
};

// Receives the decoded pixel indices in order. Answers false to stop
// decoding (every row written, or cancelled).
class PixelSink {
 public:
  virtual ~PixelSink() = default;
  virtual bool put(const uint8_t* pixels, size_t count) = 0;
};

enum class LzwEnd {
  kEndCode,     // the end code, or the sink had all it wanted
  kDataEnded,   // the sub-blocks ended before the end code
  kReadFailed,  // the source failed inside the sub-blocks
  kBadCode,     // a code above the next free entry, or a string code with nothing before it
  kTableFull,   // a new entry was due with all 4096 taken and no clear code
};

// Decodes with the given minimum code size (1 to 11; the caller refuses
// others since the clear code would lie outside the table).
LzwEnd decode_lzw(SubBlockReader& input, int minimum_code_size, PixelSink& sink);

}  // namespace kv::image::gif
