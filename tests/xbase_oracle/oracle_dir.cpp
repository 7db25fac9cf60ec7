#include "tests/xbase_oracle/oracle_dir.h"

#include <cstdlib>
#include <stdexcept>

namespace kvtest {

std::filesystem::path OracleDir() {
  const char* dir = std::getenv("KV_ORACLE_DIR");
  if (dir == nullptr || *dir == '\0')
    throw std::runtime_error(
        "KV_ORACLE_DIR is not set: run through ctest, or run scripts/oracles/make_all.sh DIR "
        "and set KV_ORACLE_DIR=DIR");
  std::filesystem::path path(dir);
  if (!std::filesystem::exists(path / "COMPLETE"))
    throw std::runtime_error(path.string() +
                             " holds no complete oracle set (scripts/oracles/make_all.sh failed?)");
  return path;
}

}  // namespace kvtest
