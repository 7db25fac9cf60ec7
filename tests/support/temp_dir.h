// A fresh directory under $TMPDIR (or /tmp), removed with everything in it
// when the test ends.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

namespace kvtest {

class TempDir {
 public:
#ifdef _WIN32
  // No mkdtemp there: a random name, taken only when the directory is new.
  TempDir() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      char name[32];
      std::snprintf(name, sizeof name, "kvtest-%08x", static_cast<unsigned>(random()));
      const std::filesystem::path candidate = std::filesystem::temp_directory_path() / name;
      std::error_code error;
      if (std::filesystem::create_directory(candidate, error)) path_ = candidate.string();
    }
    if (path_.empty()) throw std::runtime_error("no temporary directory could be made");
  }
#else
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kvtest-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
#endif
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const {
    return path_;
  }
  std::string File(const std::string& name) const {
    return path_ + "/" + name;
  }

 private:
  std::string path_;
};

}  // namespace kvtest
