// Internal: the object behind a file HANDLE.
#pragma once
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>

#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"

namespace kvp::detail {

class FileObject : public KernelObject {
 public:
  FileObject(int fd, DWORD access, bool descriptorWritable, bool isRegular)
      : fd_(fd), access_(access), descriptorWritable_(descriptorWritable), isRegular_(isRegular) {}
  ~FileObject() override { ::close(fd_); }  // also drops every lock of this open

  FileObject(const FileObject&) = delete;
  FileObject& operator=(const FileObject&) = delete;

  int fd() const { return fd_; }
  bool CanRead() const { return (access_ & GENERIC_READ) != 0; }
  bool CanWrite() const { return (access_ & GENERIC_WRITE) != 0; }

  // False when the file could only be opened O_RDONLY: such a descriptor can
  // hold only read (shared) locks.
  bool descriptorWritable() const { return descriptorWritable_; }

  // A regular file, as opposed to a device or pipe.
  bool isRegular() const { return isRegular_; }

  // The file pointer of a regular file, kept here rather than in the
  // kernel: reads and writes go to it with pread and pwrite, so that a seek
  // followed by a read (the engine's way of reading a record) costs one
  // system call, not two. Devices and pipes keep the kernel's position.
  int64_t position() const { return position_.load(std::memory_order_relaxed); }
  void setPosition(int64_t position) { position_.store(position, std::memory_order_relaxed); }

  // Byte ranges locked through this handle, by offset (value: length). The
  // ranges never overlap: a second lock over a held byte is refused, as on
  // Windows, which also keeps an unlock from releasing bytes of another
  // range (the kernel merges and splits ranges of one open freely).
  std::mutex locksMutex;
  std::map<uint64_t, uint64_t> lockedRanges;

 private:
  const int fd_;
  const DWORD access_;
  const bool descriptorWritable_;
  const bool isRegular_;
  std::atomic<int64_t> position_{0};
};

}  // namespace kvp::detail
