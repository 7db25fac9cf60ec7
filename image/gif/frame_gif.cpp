// The GIF reader joins the reading frame for type code 8.
#include "image/gif/gif_reader.h"
#include "image/readers/frame_adapter.h"

namespace {

ImageRecord* DecodeGif(const kvimg::DecodeRequest& request) {
  return kv::image::decode_for_frame(request, kv::image::SourceReads::kAllOrNothing,
                                     &kv::image::gif::read_gif);
}

const kvimg::DecoderRegistration kGifRegistration{kImageTypeGif, &DecodeGif};

}  // namespace
