// The reading frame's interface to the format decoders (JPEG, GIF, TIFF).
//
// pstIMG_LectureImage2 opens the source through the host, recognises its
// type, rewinds it and hands a DecodeRequest to the decoder registered for
// that type. A decoder reads through the ByteSource, builds its result with
// an ImageBuilder (which enforces the pixel-block cap and frees everything
// on the way out unless Release() was called), reports every failure through
// ReportMessage and calls ReportProgress after each row it writes. It
// returns the released record, or null after a failure (reported) or a
// cancel (not reported).
//
// A decoder joins by defining, in its own source file,
//   static const kvimg::DecoderRegistration kRegistration{kImageTypeGif, &DecodeGif};
// The frame itself never names the decoders.
#pragma once
#include <cstddef>
#include <cstdint>

#include "kv/image.h"

namespace kvimg {

// Message numbers of the library's string table. Texts with %s are
// formatted with the source's name.
enum Message : unsigned {
  kMsgSubfileType = 1007,  // %s
  kMsgNoWidth = 1008,
  kMsgNoHeight = 1009,
  kMsgNoStripOffsets = 1011,
  kMsgBitsPerPixel = 1012,
  kMsgNoColourMap = 1014,
  kMsgCannotOpen = 1015,
  kMsgAllocation = 1016,
  kMsgHeaderRead = 1017,
  kMsgBadHeader = 1018,  // %s
  kMsgPhotometric = 1019,
  kMsgDecompressInit = 1020,
  kMsgFileRead = 1021,
  kMsgDataRead = 1022,
  kMsgDecompress = 1024,
  kMsgNoMemory = 1026,
  kMsgLocalPalette = 1031,
  kMsgIncorrectData = 1032,  // %s
  kMsgReadProblem = 1033,    // %s
  kMsgGlobalPalette = 1034,  // %s
  kMsgUnknownFormat = 1036,  // %s
  kMsgComponentCount = 1037,
  kMsgColourComposition = 1038,
  kMsgCodingIncorrect = 1045,  // %s
  kMsgEofInData = 1046,
  kMsgNoClearCode = 1047,
  kMsgManualBreak = 1048,
  kMsgBadBitmap = 1051,
};

// The largest pixel block a read may allocate: a 16384 x 16384 picture of
// 24-bit pixels. A header that asks for more is refused with message 1032
// before anything is allocated.
inline constexpr uint64_t kMaxPixelBlockBytes = uint64_t{16384} * 16384 * 3;

// What recognition found in the source's first 32 bytes.
struct Recognition {
  int16_t type = kImageTypeUnknown;
  uint32_t jpegOffset = 0;  // 0 or 12: bytes before the JPEG's FF D8
  bool bigEndian = false;   // TIFF "MM"
};

// The host's source through its operations. Every call checks that the host
// filled the operation; a missing one is a failed call.
class ByteSource {
 public:
  explicit ByteSource(ImageSource& source) : source_(source) {}

  // All-or-nothing read (the host's "read"): true when `count` bytes came.
  bool ReadExact(void* buffer, uint32_t count);
  // Counting read (the host's "read some"): bytes read, -1 on failure.
  int32_t ReadSome(void* buffer, uint32_t count);
  // Moves to `position` from the start; false on failure.
  bool Seek(uint32_t position);
  // Back to the start (the host's "rewind" with position 0).
  bool Rewind();
  // Reads and drops `count` bytes.
  bool Skip(uint32_t count);
  // The source's size in bytes, -1 when unknown.
  int32_t Size();

  const char* Name() const { return source_.name; }
  ImageSource& Raw() { return source_; }

 private:
  ImageSource& source_;
};

// Row stride of a bottom-up bitmap: (bits x width + 7) / 8 rounded up to 4,
// counting 24 bits for every depth above 8. 0 when it does not fit 32 bits.
uint32_t RowStride(uint32_t width, unsigned bits);

// The ImageRecord and pixel block of one read, freed by the destructor
// unless released.
class ImageBuilder {
 public:
  ImageBuilder() = default;
  ImageBuilder(const ImageBuilder&) = delete;
  ImageBuilder& operator=(const ImageBuilder&) = delete;
  ~ImageBuilder();

  // Allocates the zero-filled record for a width x height picture of 1, 4, 8
  // or 24 bits and fills its bitmap header. Refuses a width or height below
  // 1 or a pixel block above kMaxPixelBlockBytes with message 1032 (with
  // `name`), bits other than 1/4/8/24 with message 1012, and reports 1026
  // when the block cannot be had. False after a reported failure.
  bool Begin(int64_t width, int64_t height, unsigned bits, const char* name);

  // Colour table (empty for 24 bits): entry `index` below 2^bits.
  void SetColour(unsigned index, uint8_t red, uint8_t green, uint8_t blue);
  void SetGreyRamp();  // entry i = (i, i, i) scaled over the table
  unsigned ColourCount() const;

  // Allocates the pixel block (biSizeImage + 1 bytes), cleared to zero so
  // that an early end leaves a defined picture. Message 1026 on failure.
  bool AllocatePixels();

  // The row `rowFromTop` (0 = the picture's top row) inside the bottom-up
  // pixel block; null before AllocatePixels or outside the picture.
  uint8_t* RowFromTop(uint32_t rowFromTop);
  // Copies at most one stride of `bytes` into that row.
  bool PutRowFromTop(uint32_t rowFromTop, const uint8_t* bytes, size_t count);
  // Fills every pixel byte with `value` (an 8-bit background index).
  void FillPixels(uint8_t value);

  uint32_t Width() const;
  uint32_t Height() const;
  unsigned Bits() const;
  uint32_t Stride() const { return stride_; }
  uint8_t* Pixels() { return pixels_; }
  ImageRecord* Record() { return record_; }

  // Hands the record (and its pixel block) to the caller.
  ImageRecord* Release();

 private:
  ImageRecord* record_ = nullptr;
  uint8_t* pixels_ = nullptr;
  uint32_t stride_ = 0;
};

// Reports a message of the string table: records it for pszIMG_GetMessage,
// formats the text with the arguments (printf conversions %s %d %u %x %02x
// %04X, bounded to the message buffer), destroys the wait window and shows
// the message box unless the read is silent. The caller then fails.
void ReportMessage(unsigned number, ...);

// Called after each row: rows done of rows in all. Updates the wait window
// and pumps the thread's messages; false once the user cancelled.
bool ReportProgress(uint32_t rowsDone, uint32_t rowsTotal);

// What the frame hands a decoder.
struct DecodeRequest {
  ByteSource& source;
  const char* name;  // the source's name, for messages
  bool wantPixels;   // false: header and colour table only
  Recognition recognition;
};

using DecodeFunction = ImageRecord* (*)(const DecodeRequest& request);

// Registers a decoder for a type code at load time.
struct DecoderRegistration {
  DecoderRegistration(int16_t type, DecodeFunction decode);
};

// The decoder of a type, null when none is registered.
DecodeFunction FindDecoder(int16_t type);

}  // namespace kvimg
