// The statements that lock a table or records on Oracle and SQL Server.
#pragma once
#include <string>
#include <string_view>

namespace kvodbc {

// Reads an option of a lock option file (section "OPTIONS", at most 64
// characters); the file is read afresh on every call.
using OptionReader = std::string (*)(const char* file, const char* key, const char* defaultValue);
std::string ReadLockOption(const char* file, const char* key, const char* defaultValue);

// The locking statement for `sqlOrTable` (a table name for a table lock, a
// query for a record lock) on a database of `kind`; empty for any kind but
// Oracle and SQL Server.
std::string BuildLockStatement(int kind, std::string_view sqlOrTable, bool tableLock,
                               OptionReader read = ReadLockOption);

}  // namespace kvodbc
