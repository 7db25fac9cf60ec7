#include "image/write/output_file.h"

#include "platform/kernel/files.h"

namespace kvimg {

OutputFile::~OutputFile() {
  if (handle_ == nullptr) return;
  kvp::CloseHandle(handle_);
  kvp::DeleteFileA(name_.c_str());
}

bool OutputFile::Open(const char* name) {
  if (name == nullptr || *name == '\0') return false;
  const kvp::HANDLE handle =
      kvp::CreateFileA(name, kvp::GENERIC_WRITE, 0, nullptr, kvp::CREATE_ALWAYS,
                       kvp::FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == kvp::INVALID_HANDLE_VALUE) return false;
  handle_ = handle;
  name_ = name;
  return true;
}

bool OutputFile::Write(const void* bytes, size_t count) {
  if (handle_ == nullptr || failed_) return false;
  const auto* at = static_cast<const uint8_t*>(bytes);
  while (count > 0) {
    const kvp::DWORD piece = count > (1u << 30) ? (1u << 30) : static_cast<kvp::DWORD>(count);
    kvp::DWORD done = 0;
    if (!kvp::WriteFile(handle_, at, piece, &done, nullptr) || done != piece) {
      failed_ = true;
      return false;
    }
    at += piece;
    count -= piece;
  }
  return true;
}

bool OutputFile::Commit() {
  if (handle_ == nullptr) return false;
  const kvp::HANDLE handle = handle_;
  handle_ = nullptr;
  const bool closed = kvp::CloseHandle(handle) != 0;
  if (failed_ || !closed) {
    kvp::DeleteFileA(name_.c_str());
    return false;
  }
  return true;
}

}  // namespace kvimg
