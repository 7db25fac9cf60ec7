#include "image/read/read_feedback.h"

#include "image/frame/wait_window.h"
#include "kv/image.h"
#include "platform/ui/window.h"

namespace kvimg {

ReadFeedback::ReadFeedback(void* window, const char*, uint16_t flags, int32_t extra)
    : window_(window) {
  const bool pixels = (flags & kImageReadHeaderOnly) == 0;
  const bool wantsWait = pixels && (flags & kImageReadWaitWindow) != 0;
  // A read with an extra argument shows the hourglass instead.
  waitWindow_ = wantsWait && extra == -1;
  if (waitWindow_) {
    if (!kvp::IsWindow(window_)) window_ = kvp::GetActiveWindow();
    waitWindow_ = CreateWaitWindow(window_);
  }
  hourglass_ = !waitWindow_ && (wantsWait || (flags & kImageReadHourglass) != 0);
  if (hourglass_) {
    oldCursor_ = kvp::SetCursor(kvp::LoadCursorA(nullptr, kvp::IDC_WAIT));
    // The mouse is captured only when no window holds it already.
    if (kvp::IsWindow(window_) && kvp::GetCapture() == nullptr) {
      kvp::SetCapture(window_);
      captured_ = true;
    }
  }
  if ((flags & kImageReadDisableWindow) != 0 && kvp::IsWindow(window_)) {
    kvp::EnableWindow(window_, 0);
    disabled_ = true;
  }
}

ReadFeedback::~ReadFeedback() {
  if (disabled_ && kvp::IsWindow(window_)) kvp::EnableWindow(window_, 1);
  if (waitWindow_) DestroyWaitWindow();
  if (hourglass_) {
    if (captured_) kvp::ReleaseCapture();
    kvp::SetCursor(static_cast<kvp::HCURSOR>(oldCursor_));
  }
}

void ReadFeedback::SourceOpened(const char* sourceName) {
  if (waitWindow_) SetWaitWindowName(sourceName);
}

}  // namespace kvimg
