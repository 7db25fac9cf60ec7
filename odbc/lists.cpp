// Lists of data sources, tables and data types as texts for the host.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "kv/odbc.h"
#include "odbc/calls.h"
#include "odbc/environment.h"
#include "odbc/global_text.h"
#include "odbc/text_util.h"

namespace {

constexpr SQLLEN kColumnBuffer = 129;  // 128 characters and the terminator

// The character data a bound or read column holds: nothing for a null
// column, the text up to its length indicator (or terminator) otherwise.
std::string_view ColumnText(const char* buffer, SQLLEN indicator, SQLLEN size) {
  if (indicator == SQL_NULL_DATA) return {};
  const size_t held = strnlen(buffer, static_cast<size_t>(size - 1));
  if (indicator >= 0 && static_cast<size_t>(indicator) < held)
    return {buffer, static_cast<size_t>(indicator)};
  return {buffer, held};
}

}  // namespace

KV_API char* KV_CALL OD_pszListeBase(OdbcBinding* binding, const char* separator) {
  if (!kvodbc::Usable(binding)) return nullptr;
  if (!kvodbc::EnsureEnvironment(binding)) return nullptr;
  // At most 3 characters of separator.
  const std::string_view between = separator == nullptr
                                       ? std::string_view()
                                       : std::string_view(separator, strnlen(separator, 3));
  kvodbc::TextBuilder text;
  if (!text.Ok()) return nullptr;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  bool first = true;
  for (;;) {
    SQLCHAR name[32] = {};
    SQLCHAR description[255] = {};
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT descriptionLength = 0;
    const SQLRETURN code =
        ODBC_CALL(binding, SQLDataSources, static_cast<SQLHENV>(binding->environment), direction,
                  name, SQLSMALLINT{sizeof name}, &nameLength, description,
                  SQLSMALLINT{sizeof description}, &descriptionLength);
    if (!kvodbc::Succeeded(code)) break;
    name[sizeof name - 1] = '\0';
    if (!first && !text.Append(between)) break;
    if (!text.Append(reinterpret_cast<char*>(name))) break;
    first = false;
    direction = SQL_FETCH_NEXT;
  }
  return text.Release();
}

KV_API char* KV_CALL OD_pszListeTable(OdbcBinding* binding, void* connection, int16_t fullListing,
                                      int16_t tablesAndViews) {
  if (!kvodbc::Usable(binding)) return nullptr;
  kvodbc::TextBuilder text;
  if (!text.Ok()) return nullptr;
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (!kvodbc::Succeeded(
          ODBC_CALL(binding, SQLAllocStmt, static_cast<SQLHDBC>(connection), &statement)))
    return text.Release();
  char types[] = "'TABLE','VIEW'";
  SQLRETURN code = tablesAndViews != 0
                       ? ODBC_CALL(binding, SQLTables, statement, static_cast<SQLCHAR*>(nullptr),
                                   SQLSMALLINT{0}, static_cast<SQLCHAR*>(nullptr), SQLSMALLINT{0},
                                   static_cast<SQLCHAR*>(nullptr), SQLSMALLINT{0},
                                   reinterpret_cast<SQLCHAR*>(types), SQLSMALLINT{SQL_NTS})
                       : ODBC_CALL(binding, SQLTables, statement, static_cast<SQLCHAR*>(nullptr),
                                   SQLSMALLINT{0}, static_cast<SQLCHAR*>(nullptr), SQLSMALLINT{0},
                                   static_cast<SQLCHAR*>(nullptr), SQLSMALLINT{0},
                                   static_cast<SQLCHAR*>(nullptr), SQLSMALLINT{0});
  if (kvodbc::Succeeded(code)) {
    char columns[4][kColumnBuffer] = {};
    SQLLEN indicators[4] = {};
    for (SQLUSMALLINT c = 0; c < 4; ++c)
      ODBC_CALL(binding, SQLBindCol, statement, static_cast<SQLUSMALLINT>(c + 1),
                SQLSMALLINT{SQL_C_CHAR}, static_cast<SQLPOINTER>(columns[c]),
                SQLLEN{kColumnBuffer - 1 + 1}, &indicators[c]);
    bool firstLine = true;
    for (;;) {
      for (auto& column : columns) column[0] = '\0';
      code = ODBC_CALL(binding, SQLFetch, statement);
      if (!kvodbc::Succeeded(code)) break;
      std::string line;
      auto part = [&](int c) {
        return std::string(kvodbc::TrimRight(ColumnText(columns[c], indicators[c], kColumnBuffer)));
      };
      if (fullListing != 0)
        line = part(2) + "\t" + part(0) + "\t" + part(1) + "\t" + part(3);
      else
        line = part(2);
      if (!firstLine) line.insert(0, "\r\n");
      if (!text.Append(line)) break;
      firstLine = false;
    }
  }
  ODBC_CALL(binding, SQLFreeStmt, statement, SQLUSMALLINT{SQL_DROP});
  return text.Release();
}

KV_API char* KV_CALL OD_pszTypeBase(OdbcBinding* binding, void* connection) {
  if (!kvodbc::Usable(binding)) return kvodbc::AllocateText(0);
  kvodbc::TextBuilder text;
  if (!text.Ok()) return nullptr;
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (!kvodbc::Succeeded(
          ODBC_CALL(binding, SQLAllocStmt, static_cast<SQLHDBC>(connection), &statement)))
    return text.Release();
  if (kvodbc::Succeeded(
          ODBC_CALL(binding, SQLGetTypeInfo, statement, SQLSMALLINT{SQL_ALL_TYPES}))) {
    while (kvodbc::Succeeded(ODBC_CALL(binding, SQLFetch, statement))) {
      char name[kColumnBuffer] = {};
      char type[kColumnBuffer] = {};
      SQLLEN nameIndicator = 0;
      SQLLEN typeIndicator = 0;
      ODBC_CALL(binding, SQLGetData, statement, SQLUSMALLINT{1}, SQLSMALLINT{SQL_C_CHAR},
                static_cast<SQLPOINTER>(name), SQLLEN{kColumnBuffer}, &nameIndicator);
      ODBC_CALL(binding, SQLGetData, statement, SQLUSMALLINT{2}, SQLSMALLINT{SQL_C_CHAR},
                static_cast<SQLPOINTER>(type), SQLLEN{kColumnBuffer}, &typeIndicator);
      const std::string typeText(ColumnText(type, typeIndicator, kColumnBuffer));
      char number[24];
      std::snprintf(number, sizeof number, "%ld", std::strtol(typeText.c_str(), nullptr, 10) + 8);
      std::string line(ColumnText(name, nameIndicator, kColumnBuffer));
      line += "\t";
      line += number;
      line += "\r\n";
      if (!text.Append(line)) break;
    }
  }
  ODBC_CALL(binding, SQLFreeStmt, statement, SQLUSMALLINT{SQL_DROP});
  return text.Release();
}
