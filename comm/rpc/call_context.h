// What a function the server calls may learn about the call: the room of
// each buffer the session allocated for it (thread-local, set for the
// duration of one call).
#pragma once
#include <cstddef>

namespace kvrpc {

// Bytes available from `address` to the end of a buffer of the current
// call; 0 when the address is not within one (or no call is running).
size_t BufferRoom(const void* address);

// The buffers of one call, known to the thread while the object lives. A
// call made inside another (a library function that calls a helper
// locally) has its own set and gives the outer one back at its end.
class CallBuffers {
 public:
  CallBuffers();
  ~CallBuffers();
  CallBuffers(const CallBuffers&) = delete;
  CallBuffers& operator=(const CallBuffers&) = delete;
  void Add(const void* address, size_t size);

 private:
  void* m_outer;
};

}  // namespace kvrpc
