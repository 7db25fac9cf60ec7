// Where the oracle fixture wrote its files (ctest passes KV_ORACLE_DIR).
#pragma once
#include <filesystem>

namespace kvtest {

// The directory of the oracle files; throws std::runtime_error when the
// variable is unset or the set is incomplete (no COMPLETE mark), so that a
// missing fixture fails the test instead of skipping it.
std::filesystem::path OracleDir();

}  // namespace kvtest
