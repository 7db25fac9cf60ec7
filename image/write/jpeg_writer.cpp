#include "image/write/jpeg_writer.h"

#include <new>
#include <vector>

#include "image/jpeg/jpeg_errors.h"
#include "image/read/decoder.h"
#include "image/write/output_file.h"

namespace kvimg {

namespace {

constexpr size_t kOutputBytes = 4096;

struct FileDestination {
  jpeg_destination_mgr base;
  OutputFile* file;
  JOCTET buffer[kOutputBytes];
};

void InitDestination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<FileDestination*>(cinfo->dest);
  destination->base.next_output_byte = destination->buffer;
  destination->base.free_in_buffer = kOutputBytes;
}

boolean EmptyBuffer(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<FileDestination*>(cinfo->dest);
  if (!destination->file->Write(destination->buffer, kOutputBytes)) ERREXIT(cinfo, JERR_FILE_WRITE);
  destination->base.next_output_byte = destination->buffer;
  destination->base.free_in_buffer = kOutputBytes;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<FileDestination*>(cinfo->dest);
  const size_t used = kOutputBytes - destination->base.free_in_buffer;
  if (used > 0 && !destination->file->Write(destination->buffer, used))
    ERREXIT(cinfo, JERR_FILE_WRITE);
}

// One picture row as red, green, blue triples, looked up in the colour
// table for palette depths (1-bit pixels from the most significant bit,
// 4-bit pixels high nibble first).
void ExpandRow(const PackedBitmapView& view, uint32_t rowFromTop, uint8_t* rgb) {
  const uint8_t* row = view.RowFromTop(rowFromTop);
  if (view.bits == 24) {
    for (uint32_t x = 0; x < view.width; ++x) {
      rgb[3 * x] = row[3 * x + 2];
      rgb[3 * x + 1] = row[3 * x + 1];
      rgb[3 * x + 2] = row[3 * x];
    }
    return;
  }
  const unsigned perByte = 8 / view.bits;
  const unsigned mask = (1u << view.bits) - 1;
  for (uint32_t x = 0; x < view.width; ++x) {
    const unsigned shift = 8 - view.bits * (x % perByte + 1);
    const KvRgbQuad& colour = view.colours[(row[x / perByte] >> shift) & mask];
    rgb[3 * x] = colour.rgbRed;
    rgb[3 * x + 1] = colour.rgbGreen;
    rgb[3 * x + 2] = colour.rgbBlue;
  }
}

struct JpegWriteSession {
  jpeg_compress_struct cinfo{};
  JpegErrorManager errors;
  FileDestination destination{};
  bool created = false;

  JpegWriteSession() = default;
  JpegWriteSession(const JpegWriteSession&) = delete;
  JpegWriteSession& operator=(const JpegWriteSession&) = delete;
  ~JpegWriteSession() {
    if (created) jpeg_destroy_compress(&cinfo);
  }
};

bool Compress(JpegWriteSession& session, const PackedBitmapView& view, int quality, uint8_t* rgb) {
  session.cinfo.err = InstallJpegErrors(session.errors);
  if (setjmp(session.errors.jump)) return false;
  jpeg_create_compress(&session.cinfo);
  session.created = true;
  session.destination.base.init_destination = InitDestination;
  session.destination.base.empty_output_buffer = EmptyBuffer;
  session.destination.base.term_destination = TermDestination;
  session.cinfo.dest = &session.destination.base;
  session.cinfo.image_width = view.width;
  session.cinfo.image_height = view.height;
  session.cinfo.input_components = 3;
  session.cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&session.cinfo);
  jpeg_set_quality(&session.cinfo, quality, TRUE);
  jpeg_start_compress(&session.cinfo, TRUE);
  while (session.cinfo.next_scanline < session.cinfo.image_height) {
    ExpandRow(view, session.cinfo.next_scanline, rgb);
    JSAMPROW row = rgb;
    jpeg_write_scanlines(&session.cinfo, &row, 1);
  }
  jpeg_finish_compress(&session.cinfo);
  return true;
}

}  // namespace

bool WriteJpegFile(const PackedBitmap& bitmap, const char* fileName, int quality) {
  if (!bitmap.Valid() || !bitmap.IndexesInTable()) {
    ReportMessage(kMsgBadBitmap);
    return false;
  }
  const PackedBitmapView& view = bitmap.View();
  // JPEG's own limit on either side.
  if (view.width > 65500 || view.height > 65500) {
    ReportMessage(1059);
    return false;
  }
  std::vector<uint8_t> rgb;
  try {
    rgb.resize(size_t{view.width} * 3);
  } catch (const std::bad_alloc&) {
    ReportMessage(kMsgNoMemory);
    return false;
  }
  OutputFile output;
  if (!output.Open(fileName)) return false;
  JpegWriteSession session;
  session.destination.file = &output;
  if (!Compress(session, view, quality, rgb.data())) {
    ReportJpegFailure(session.errors, kMsgBadBitmap, fileName);
    return false;
  }
  return output.Commit();
}

}  // namespace kvimg
