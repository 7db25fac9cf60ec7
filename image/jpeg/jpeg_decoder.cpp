// JPEG (JFIF) reading through libjpeg-turbo, over the host's source.
#include <cstring>

#include "image/jpeg/jpeg_errors.h"
#include "image/read/decoder.h"
#include "image/read/pixel_cap.h"

namespace kvimg {

namespace {

constexpr size_t kInputBytes = 4096;

// libjpeg's source manager over the host's counting read.
struct HostSourceManager {
  jpeg_source_mgr base;
  ByteSource* source;
  JOCTET buffer[kInputBytes];
};

void InitSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr cinfo) {
  auto* manager = reinterpret_cast<HostSourceManager*>(cinfo->src);
  const int32_t got = manager->source->ReadSome(manager->buffer, kInputBytes);
  // A file that ends early is a failure of its stage, not a grey picture.
  if (got <= 0) ERREXIT(cinfo, JERR_INPUT_EOF);
  manager->base.next_input_byte = manager->buffer;
  manager->base.bytes_in_buffer = static_cast<size_t>(got);
  return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* source = cinfo->src;
  auto remaining = static_cast<unsigned long>(count);
  while (remaining > source->bytes_in_buffer) {
    remaining -= static_cast<unsigned long>(source->bytes_in_buffer);
    source->bytes_in_buffer = 0;
    FillInput(cinfo);
  }
  source->next_input_byte += remaining;
  source->bytes_in_buffer -= remaining;
}

void TermSource(j_decompress_ptr) {}

struct JpegReadSession {
  jpeg_decompress_struct cinfo{};
  JpegErrorManager errors;
  HostSourceManager input{};
  bool created = false;

  JpegReadSession() = default;
  JpegReadSession(const JpegReadSession&) = delete;
  JpegReadSession& operator=(const JpegReadSession&) = delete;
  ~JpegReadSession() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

// Each stage that may fail inside libjpeg sets its own return point and
// keeps no state of its own across it.
bool Create(JpegReadSession& session, ByteSource& source) {
  session.cinfo.err = InstallJpegErrors(session.errors);
  if (setjmp(session.errors.jump)) return false;
  jpeg_create_decompress(&session.cinfo);
  session.created = true;
  session.cinfo.mem->max_memory_to_use = static_cast<long>(PixelBlockCap());
  session.input.source = &source;
  session.input.base.init_source = InitSource;
  session.input.base.fill_input_buffer = FillInput;
  session.input.base.skip_input_data = SkipInput;
  session.input.base.resync_to_restart = jpeg_resync_to_restart;
  session.input.base.term_source = TermSource;
  session.cinfo.src = &session.input.base;
  return true;
}

bool ReadHeader(JpegReadSession& session) {
  if (setjmp(session.errors.jump)) return false;
  jpeg_read_header(&session.cinfo, TRUE);
  // Bitmaps keep blue, green, red; grey stays one byte a pixel; other
  // spaces (CMYK) come out with their own component count and are refused.
  const J_COLOR_SPACE space = session.cinfo.jpeg_color_space;
  if (space == JCS_GRAYSCALE)
    session.cinfo.out_color_space = JCS_GRAYSCALE;
  else if (space == JCS_YCbCr || space == JCS_RGB)
    session.cinfo.out_color_space = JCS_EXT_BGR;
  jpeg_calc_output_dimensions(&session.cinfo);
  return true;
}

bool Start(JpegReadSession& session) {
  if (setjmp(session.errors.jump)) return false;
  jpeg_start_decompress(&session.cinfo);
  return true;
}

enum class RowsResult { kDone, kFailed, kCancelled };

RowsResult ReadRows(JpegReadSession& session, ImageBuilder& builder) {
  if (setjmp(session.errors.jump)) return RowsResult::kFailed;
  const uint32_t height = builder.Height();
  while (session.cinfo.output_scanline < session.cinfo.output_height) {
    JSAMPROW row = builder.RowFromTop(session.cinfo.output_scanline);
    if (row == nullptr) return RowsResult::kFailed;
    jpeg_read_scanlines(&session.cinfo, &row, 1);
    if (!ReportProgress(session.cinfo.output_scanline, height)) return RowsResult::kCancelled;
  }
  return RowsResult::kDone;
}

ImageRecord* DecodeJpeg(const DecodeRequest& request) {
  JpegReadSession session;
  if (!Create(session, request.source)) {
    ReportJpegFailure(session.errors, kMsgBadHeader, request.name);
    return nullptr;
  }
  if (request.recognition.jpegOffset != 0 && !request.source.Skip(request.recognition.jpegOffset)) {
    ReportMessage(kMsgBadHeader, request.name);
    return nullptr;
  }
  if (!ReadHeader(session)) {
    ReportJpegFailure(session.errors, kMsgBadHeader, request.name);
    return nullptr;
  }
  const int components = session.cinfo.output_components;
  if (components != 1 && components != 3) {
    ReportMessage(kMsgBitsPerPixel);
    return nullptr;
  }
  if (session.cinfo.out_color_components != 1 && session.cinfo.out_color_components != 3) {
    ReportMessage(kMsgPhotometric);
    return nullptr;
  }
  ImageBuilder builder;
  if (!builder.Begin(session.cinfo.output_width, session.cinfo.output_height,
                     static_cast<unsigned>(components) * 8, request.name))
    return nullptr;
  if (components == 1) builder.SetGreyRamp();
  if (!request.wantPixels) return builder.Release();

  if (!builder.AllocatePixels()) return nullptr;
  if (!Start(session)) {
    ReportJpegFailure(session.errors, kMsgHeaderRead, request.name);
    return nullptr;
  }
  switch (ReadRows(session, builder)) {
    case RowsResult::kDone:
      return builder.Release();
    case RowsResult::kCancelled:
      return nullptr;
    case RowsResult::kFailed:
      ReportJpegFailure(session.errors, kMsgDecompress, request.name);
      return nullptr;
  }
  return nullptr;
}

const DecoderRegistration kJpegRegistration{kImageTypeJpeg, &DecodeJpeg};

}  // namespace

}  // namespace kvimg
