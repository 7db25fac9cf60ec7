#include "image/read/read_feedback.h"

#include "kv/image.h"

namespace kvimg {

// The platform has no windows or cursors yet: the flags are taken apart
// here and the feedback they ask for is shown once it has.
ReadFeedback::ReadFeedback(void* window, const char*, uint16_t flags, int32_t extra)
    : window_(window), flags_(flags) {
  const bool pixels = (flags & kImageReadHeaderOnly) == 0;
  waitWindow_ = pixels && (flags & kImageReadWaitWindow) != 0 && extra == -1;
  hourglass_ = !waitWindow_ && ((flags & kImageReadHourglass) != 0 ||
                                (pixels && (flags & kImageReadWaitWindow) != 0));
}

ReadFeedback::~ReadFeedback() = default;

void ReadFeedback::SourceOpened(const char*) {}

}  // namespace kvimg
