#include "odbc/lock_statement.h"

#include "kv/odbc.h"
#include "platform/kernel/ascii.h"
#include "platform/kernel/profile.h"

namespace kvodbc {

namespace {

constexpr char kOracleOptions[] = "KVORAINS.INI";
constexpr char kSqlServerOptions[] = "KVSQSINS.INI";
constexpr char kSection[] = "OPTIONS";

size_t FindNoCase(std::string_view text, std::string_view word) {
  if (word.size() > text.size()) return std::string_view::npos;
  for (size_t i = 0; i + word.size() <= text.size(); ++i)
    if (kvp::detail::EqualsNoCase(text.substr(i, word.size()), word)) return i;
  return std::string_view::npos;
}

std::string OracleStatement(std::string_view sqlOrTable, bool tableLock, OptionReader read) {
  std::string statement;
  if (tableLock) {
    statement = "LOCK TABLE " + std::string(sqlOrTable) + " IN " +
                read(kOracleOptions, "MODELOCK", "EXCLUSIVE") + " MODE";
  } else {
    statement = std::string(sqlOrTable) + " FOR UPDATE";
  }
  const std::string noWait = read(kOracleOptions, "NOWAIT", "");
  if (!noWait.empty()) {
    const char first = kvp::detail::UpperAscii(noWait[0]);
    if (first == 'Y' || first == 'O') statement += " NOWAIT";
  }
  return statement;
}

std::string SqlServerStatement(std::string_view sqlOrTable, bool tableLock, OptionReader read) {
  if (tableLock) {
    const std::string mode = read(kSqlServerOptions, "MODELOCK", "TABLOCKX");
    std::string statement = "select * from " + std::string(sqlOrTable) + " ";
    if (mode.find('(') != std::string::npos)
      statement += " " + mode;
    else
      statement += " (" + mode + ")";
    return statement;
  }
  const std::string mode = read(kSqlServerOptions, "MODELOCK", "UPDLOCK");
  const std::string hint =
      mode.find('(') != std::string::npos ? " " + mode + " where " : " (" + mode + ") where ";
  std::string statement(sqlOrTable);
  // " WHERE " in capitals is the same clause: appending the hint after it
  // would give a statement no server accepts.
  const size_t where = FindNoCase(statement, " where ");
  if (where != std::string::npos)
    statement.replace(where, 7, hint);
  else
    statement += " " + mode;
  return statement;
}

}  // namespace

std::string ReadLockOption(const char* file, const char* key, const char* defaultValue) {
  char value[65] = {};
  kvp::GetPrivateProfileStringA(kSection, key, defaultValue, value, sizeof value, file);
  return value;
}

std::string BuildLockStatement(int kind, std::string_view sqlOrTable, bool tableLock,
                               OptionReader read) {
  if (kind == kOdbcKindOracle) return OracleStatement(sqlOrTable, tableLock, read);
  if (kind == kOdbcKindSqlServer) return SqlServerStatement(sqlOrTable, tableLock, read);
  return {};
}

}  // namespace kvodbc
