#include <atomic>
#include <cstdlib>
#include <string>

#include "platform/kernel/win_types.h"
#include "xbase/build/bulk_internal.h"
#include "xbase/frame/file_layer.h"

namespace kv::xb::bulk {
namespace {

// Names tried per directory before it counts as unusable: far more than
// builds that can run at once.
constexpr int kNamesPerDirectory = 1000;
constexpr size_t kMaxPath = 260;

std::atomic<SortFileHook> sortFileHook{nullptr};

std::string DirectoryOf(const char* path) {
  const std::string p = path == nullptr ? "" : path;
  const size_t cut = p.find_last_of("/\\");
  return cut == std::string::npos ? std::string() : p.substr(0, cut + 1);
}

std::string SystemTempDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp";
  if (dir.back() != '/') dir.push_back('/');
  return dir;
}

}  // namespace

void SetSortFileHook(SortFileHook hook) {
  sortFileHook.store(hook);
}
SortFileHook CurrentSortFileHook() {
  return sortFileHook.load();
}

// Tries the names of one directory. A taken name moves on to the next name;
// any other refusal (no write permission, read-only or full file system, no
// such directory) gives up the directory. `*stop` is set when the file
// table is full, which no other directory would change.
bool SortFile::TryDirectory(const std::string& directory, bool* stop) {
  for (int n = 0; n < kNamesPerDirectory; ++n) {
    std::string name = directory + "stacks" + (n == 0 ? std::string() : std::to_string(n)) + ".tmp";
    if (name.size() > kMaxPath) return false;
    int fileNo = 0;
    if (os::TryCreateNew(&fileNo, name.c_str()) == 0) {
      fileNo_ = fileNo;
      path_ = name;
      length_ = 0;
      return true;
    }
    const uint32_t error = os::LastError();
    if (error == kvp::ERROR_TOO_MANY_OPEN_FILES) {
      *stop = true;
      return false;
    }
    if (error != kvp::ERROR_FILE_EXISTS && error != kvp::ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

XBSTATUS SortFile::Create(const char* indexPath) {
  const char* kModule = module_;
  Remove();
  const std::string index = DirectoryOf(indexPath);
  std::string candidates[3] = {std::string(), index, SystemTempDirectory()};
  bool stop = false;
  for (int i = 0; i < 3 && !stop; ++i) {
    // The index file's directory is the current one when its name has none.
    if (i == 1 && index.empty()) continue;
    if (TryDirectory(candidates[i], &stop)) {
      if (SortFileHook hook = sortFileHook.load()) hook(path_.c_str());
      return 0;
    }
  }
  return XB_FAIL(XB_E_OPEN);
}

XBSTATUS SortFile::Append(const uint8_t* bytes, size_t count) {
  const char* kModule = module_;
  XBSTATUS s = os::Seek(fileNo_, length_);
  if (s == 0) s = os::Write(fileNo_, bytes, count, false);
  if (s != 0) return XB_FAIL(XB_E_WRITE);
  length_ += count;
  return 0;
}

XBSTATUS SortFile::ReadAt(uint64_t offset, uint8_t* bytes, size_t count) {
  const char* kModule = module_;
  if (os::Seek(fileNo_, offset) != 0) return XB_FAIL(XB_E_SEEK);
  if (os::Read(fileNo_, bytes, count) != 0) return XB_FAIL(XB_E_READ);
  return 0;
}

void SortFile::Remove() {
  if (fileNo_ == 0) return;
  const int fileNo = fileNo_;
  fileNo_ = 0;
  KeepingFailure([&] {
    os::Close(fileNo);
    os::Erase(path_.c_str());
  });
  path_.clear();
  length_ = 0;
}

}  // namespace kv::xb::bulk
