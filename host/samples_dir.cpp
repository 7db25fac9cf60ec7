#include "host/samples_dir.h"

#include <filesystem>
#include <system_error>

#ifndef KV_SAMPLES_DIR
#define KV_SAMPLES_DIR "host/samples"
#endif

namespace kvhost {

std::string SamplesDirectory() {
#ifdef KV_INSTALLED_SAMPLES_FROM_BIN
  // An installed kvhost must not read a source tree that happens to remain
  // on the machine it was built on: the files beside it come first.
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    const std::filesystem::path installed =
        (self.parent_path() / KV_INSTALLED_SAMPLES_FROM_BIN).lexically_normal();
    if (std::filesystem::is_directory(installed, error)) return installed.string();
  }
#endif
  return KV_SAMPLES_DIR;
}

}  // namespace kvhost
