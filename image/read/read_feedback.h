// What a read shows the user while it runs: the wait window or the
// hourglass, and the caller's window disabled. Undone on destruction.
#pragma once
#include <cstdint>

namespace kvimg {

class ReadFeedback {
 public:
  ReadFeedback(void* window, const char* name, uint16_t flags, int32_t extra);
  ~ReadFeedback();
  ReadFeedback(const ReadFeedback&) = delete;
  ReadFeedback& operator=(const ReadFeedback&) = delete;

  // The source's name as the host opened it (the wait window's caption).
  void SourceOpened(const char* sourceName);

  // What the flags ask for: the wait window (pixels read, bit 3, no extra),
  // else the hourglass (bit 4, or bit 3 when the wait window is ruled out),
  // and the window disabled (bit 5).
  bool WantsWaitWindow() const { return waitWindow_; }
  bool WantsHourglass() const { return hourglass_; }
  bool DisablesWindow() const { return window_ != nullptr && (flags_ & 0x20) != 0; }

 private:
  void* window_;
  uint16_t flags_;
  bool waitWindow_ = false;
  bool hourglass_ = false;
};

}  // namespace kvimg
