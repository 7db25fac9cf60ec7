#include "image/readers/frame_adapter.h"

#include <cstring>
#include <limits>

#include "image/read/pixel_cap.h"

namespace kv::image {

namespace {

class HostSource final : public ByteSource {
 public:
  HostSource(kvimg::ByteSource& source, SourceReads reads) : source_(source), reads_(reads) {}

  size_t read_some(uint8_t* buffer, size_t count) override {
    const auto piece = static_cast<uint32_t>(std::min<size_t>(count, 1u << 30));
    const int32_t got = source_.ReadSome(buffer, piece);
    return got > 0 ? static_cast<size_t>(got) : 0;
  }
  bool read_all(uint8_t* buffer, size_t count) override {
    if (reads_ == SourceReads::kCounting) return ByteSource::read_all(buffer, count);
    if (count > std::numeric_limits<uint32_t>::max()) return false;
    return source_.ReadExact(buffer, static_cast<uint32_t>(count));
  }
  bool seek(uint64_t position) override {
    return position <= std::numeric_limits<uint32_t>::max() &&
           source_.Seek(static_cast<uint32_t>(position));
  }
  int64_t size() override { return source_.Size(); }

 private:
  kvimg::ByteSource& source_;
  SourceReads reads_;
};

// Builds the record's header and colour table from the decoder's header.
bool begin_record(kvimg::ImageBuilder& builder, const DecodedImage& image, const char* name) {
  if (!builder.Begin(image.width, image.height, image.bits, name)) return false;
  for (size_t i = 0; i < image.palette.size(); ++i) {
    const uint32_t entry = image.palette[i];
    builder.SetColour(static_cast<unsigned>(i), static_cast<uint8_t>(entry >> 16),
                      static_cast<uint8_t>(entry >> 8), static_cast<uint8_t>(entry));
  }
  return true;
}

}  // namespace

ImageRecord* decode_for_frame(const kvimg::DecodeRequest& request, SourceReads reads,
                              DecoderCore decode) {
  HostSource source(request.source, reads);
  kvimg::ImageBuilder builder;
  ReadOptions options;
  options.want_pixels = request.wantPixels;
  options.pixel_cap = kvimg::PixelBlockCap();
  options.progress = [](uint32_t done, uint32_t total) {
    return kvimg::ReportProgress(done, total);
  };
  // The decoder writes straight into the record's pixel block.
  options.pixel_block = [&](const DecodedImage& header) -> uint8_t* {
    if (!begin_record(builder, header, request.name) || !builder.AllocatePixels()) return nullptr;
    if (builder.Stride() != header.stride()) {
      kvimg::ReportMessage(kvimg::kMsgIncorrectData, request.name);
      return nullptr;
    }
    return builder.Pixels();
  };

  DecodedImage image;
  const ReadResult result = decode(source, options, image);
  if (result.cancelled || result.reported) return nullptr;
  if (result.message != kOk) {
    // The name is passed to every message; those without %s ignore it.
    kvimg::ReportMessage(static_cast<unsigned>(result.message), request.name);
    return nullptr;
  }
  if (!request.wantPixels && !begin_record(builder, image, request.name)) return nullptr;
  return builder.Release();
}

}  // namespace kv::image
