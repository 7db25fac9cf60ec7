// A file being written by one of the writers: created on Open, removed
// again unless Commit() succeeded, so that no failure leaves half a file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/kernel/win_types.h"

namespace kvimg {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Open(const char* name);
  bool Write(const void* bytes, size_t count);
  // Closes the file and keeps it; false (and the file removed) when the
  // close fails or a write failed before.
  bool Commit();

 private:
  kvp::HANDLE handle_ = nullptr;
  std::string name_;
  bool failed_ = false;
};

}  // namespace kvimg
