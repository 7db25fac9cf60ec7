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

  // What is shown: the wait window (pixels read, bit 3, no extra, and the
  // window could be made), else the hourglass (bit 4, or bit 3 when the
  // wait window is ruled out), and whether the window was disabled (bit 5).
  bool WantsWaitWindow() const { return waitWindow_; }
  bool WantsHourglass() const { return hourglass_; }
  bool DisablesWindow() const { return disabled_; }

 private:
  void* window_;
  bool waitWindow_ = false;
  bool hourglass_ = false;
  bool captured_ = false;
  bool disabled_ = false;
  void* oldCursor_ = nullptr;
};

}  // namespace kvimg
