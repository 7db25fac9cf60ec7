// Runs a GIF or TIFF decoder for the reading frame: the host's source as the
// decoder's ByteSource, the frame's progress and cancel, its pixel-block cap,
// and the ImageRecord built with the frame's ImageBuilder. Failures are
// reported through the frame's message routine.
#pragma once

#include "image/read/decoder.h"
#include "image/readers/reader_core.h"

namespace kv::image {

// How the decoder reads: the GIF reader with the host's all-or-nothing read,
// the TIFF reader with the counting read.
enum class SourceReads { kAllOrNothing, kCounting };

using DecoderCore = ReadResult (*)(ByteSource& source, const ReadOptions& options,
                                   DecodedImage& image);

ImageRecord* decode_for_frame(const kvimg::DecodeRequest& request, SourceReads reads,
                              DecoderCore decode);

}  // namespace kv::image
