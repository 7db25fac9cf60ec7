// Pieces of the bulk build shared by the driver's files and the builders.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "kv/xbase.h"
#include "xbase/build/bulk_build.h"
#include "xbase/dbf/data_file.h"
#include "xbase/frame/engine.h"

namespace kv::xb::bulk {

// The sort buffer: 65000 bytes at most, 512 less after each allocation
// failure, none below 2049.
inline constexpr size_t kSortBufferBytes = 65000;
inline constexpr size_t kSortBufferStep = 512;
inline constexpr size_t kSortBufferMinimum = 2049;
// The largest sort element (key and record number) any family uses.
inline constexpr size_t kMaxElement = 1024;

// Runs a clean-up step after a failure: the step must neither be refused
// for the failure's sticky code nor replace it.
template <typename Step>
void KeepingFailure(Step step) {
  const XBSTATUS failure = Current().status;
  Current().status = 0;
  step();
  if (failure < 0 || Current().status >= 0) Current().status = failure;
}

// Engine memory that may fail quietly: the sort buffer is tried at several
// sizes, and only the last refusal is an error.
class QuietBuffer {
 public:
  QuietBuffer() = default;
  ~QuietBuffer() { Free(); }
  QuietBuffer(const QuietBuffer&) = delete;
  QuietBuffer& operator=(const QuietBuffer&) = delete;

  bool TryAllocate(size_t size);
  void Free();
  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  KVHGLOBAL handle_ = 0;
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// The temporary file of one build's sorted runs. Its stem is "stacks"; the
// name is unique to the build: it is created exclusively, taking
// "stacks.tmp", "stacks1.tmp", "stacks2.tmp", ... whichever is free first,
// in the current directory, else in the index file's directory, else in the
// system's temporary directory ($TMPDIR or /tmp).
class SortFile {
 public:
  explicit SortFile(const char* module) : module_(module) {}
  ~SortFile() { Remove(); }
  SortFile(const SortFile&) = delete;
  SortFile& operator=(const SortFile&) = delete;

  // -46 when no directory takes the file.
  XBSTATUS Create(const char* indexPath);
  // Appends at the end; -1 on failure.
  XBSTATUS Append(const uint8_t* bytes, size_t count);
  // Reads `count` bytes at `offset`; -4 when the seek fails, -2 when the
  // read does.
  XBSTATUS ReadAt(uint64_t offset, uint8_t* bytes, size_t count);
  // Closes and deletes the file (without touching a failure's status).
  void Remove();

  const std::string& path() const { return path_; }
  uint64_t length() const { return length_; }

 private:
  bool TryDirectory(const std::string& directory, bool* stop);

  const char* module_;
  std::string path_;
  int fileNo_ = 0;
  uint64_t length_ = 0;
};

// The order of sort elements (key, then record number most significant
// first): bytewise, or for collated character keys the collating order of
// the key and then the record number.
class ElementOrder {
 public:
  ElementOrder(size_t keyLength, bool collated)
      : keyLength_(keyLength), size_(keyLength + 4), collated_(collated) {}
  size_t elementSize() const { return size_; }
  bool Less(const uint8_t* a, const uint8_t* b) const;

 private:
  size_t keyLength_;
  size_t size_;
  bool collated_;
};

// Sorts `count` elements of `order.elementSize()` bytes in place; `scratch`
// holds `count` 32-bit slots.
void SortElements(uint8_t* elements, uint32_t count, const ElementOrder& order, uint32_t* scratch);

// Loads record `r` through the read-ahead buffer into the record buffer, as
// XBDDRGET would leave it. Failures are logged under `module`.
XBSTATUS LoadRecord(dbf::DataFile& file, uint32_t r, const char* module);

// The process-wide test hook of SetSortFileHook.
SortFileHook CurrentSortFileHook();

}  // namespace kv::xb::bulk
