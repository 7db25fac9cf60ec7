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

 private:
  void* window_;
  uint16_t flags_;
  bool waitWindow_ = false;
  bool hourglass_ = false;
};

}  // namespace kvimg
