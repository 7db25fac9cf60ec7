// The TIFF reader joins the reading frame for type code 3.
#include "image/readers/frame_adapter.h"
#include "image/tiff/tiff_reader.h"

namespace {

ImageRecord* DecodeTiff(const kvimg::DecodeRequest& request) {
  return kv::image::decode_for_frame(request, kv::image::SourceReads::kCounting,
                                     &kv::image::tiff::read_tiff);
}

const kvimg::DecoderRegistration kTiffRegistration{kImageTypeTiff, &DecodeTiff};

}  // namespace
