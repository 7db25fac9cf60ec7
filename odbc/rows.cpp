// Walking result rows: counts, fetches, whole lines, columns, descriptions.
#include <algorithm>
#include <climits>
#include <cstring>

#include "kv/odbc.h"
#include "odbc/calls.h"
#include "odbc/text_util.h"

namespace {

// A column is read into the first half of the line buffer while the line is
// short, and into what is left of the buffer once it is long.
constexpr size_t kColumnRoom = 16384;
constexpr size_t kFirstPiece = 256;
// The line, its terminator included, never exceeds the host's buffer.
constexpr size_t kLineLimit = kOdbcLineSize - 1;

// How many characters SQLGetData put at `text` in `room` bytes.
size_t CharactersRead(SQLRETURN code, SQLLEN indicator, const char* text, size_t room) {
  if (code == SQL_NO_DATA || indicator == SQL_NULL_DATA || room == 0) return 0;
  const size_t held = strnlen(text, room - 1);
  if (indicator == SQL_NO_TOTAL || indicator < 0) return held;
  return std::min(held, static_cast<size_t>(indicator));
}

}  // namespace

KV_API int16_t KV_CALL OD_NumResultCols(OdbcBinding* binding, void* statement, int16_t* count) {
  if (!kvodbc::Usable(binding)) return SQL_ERROR;
  SQLSMALLINT columns = 0;
  const SQLRETURN code =
      ODBC_CALL(binding, SQLNumResultCols, static_cast<SQLHSTMT>(statement), &columns);
  if (count != nullptr) *count = columns;
  return code;
}

KV_API int16_t KV_CALL OD_Fetch(OdbcBinding* binding, void* statement, int16_t* error) {
  if (!kvodbc::Usable(binding)) return SQL_ERROR;
  const SQLRETURN code = ODBC_CALL(binding, SQLFetch, static_cast<SQLHSTMT>(statement));
  if (error != nullptr) *error = kvodbc::Succeeded(code) || code == SQL_NO_DATA ? 0 : 1;
  return code;
}

KV_API int16_t KV_CALL OD_ValLineComplete(OdbcBinding* binding, void* statement,
                                          const char* separator, char* line, int16_t* error,
                                          int16_t* columnCount) {
  if (!kvodbc::Usable(binding)) return SQL_ERROR;
  if (line == nullptr) {
    binding->lastCode = SQL_ERROR;
    return SQL_ERROR;
  }
  const auto handle = static_cast<SQLHSTMT>(statement);
  line[0] = '\0';
  if (error != nullptr) *error = 0;
  int16_t columns = columnCount != nullptr ? *columnCount : 0;
  SQLRETURN code = SQL_SUCCESS;
  if (columns == 0) {
    SQLSMALLINT counted = 0;
    code = ODBC_CALL(binding, SQLNumResultCols, handle, &counted);
    if (code == SQL_ERROR || code == SQL_INVALID_HANDLE) {
      if (error != nullptr) *error = 1;
      return code;
    }
    columns = counted;
    if (columnCount != nullptr) *columnCount = columns;
  }
  const size_t separatorLength = separator == nullptr ? 0 : std::strlen(separator);
  size_t length = 0;
  for (int16_t column = 1; column <= columns; ++column) {
    const size_t room = length < kColumnRoom ? kColumnRoom : kOdbcLineSize - length;
    const size_t start = length;
    // The column is read in pieces, a short one first: some drivers
    // (sqliteodbc) fill the whole buffer they are given, so handing each
    // column its full room would cost 16 KB of writes per column. The room
    // the column may take stays the same.
    size_t piece = std::min(room, kFirstPiece);
    for (;;) {
      SQLLEN indicator = 0;
      code = ODBC_CALL(binding, SQLGetData, handle, static_cast<SQLUSMALLINT>(column),
                       SQLSMALLINT{SQL_C_CHAR}, static_cast<SQLPOINTER>(line + length),
                       static_cast<SQLLEN>(piece), &indicator);
      if (code == SQL_ERROR || code == SQL_INVALID_HANDLE) {
        line[0] = '\0';
        if (error != nullptr) *error = 1;
        return code;
      }
      length += CharactersRead(code, indicator, line + length, piece);
      const size_t left = room - (length - start);
      // Truncated with room to spare: the rest of the column follows.
      if (code != SQL_SUCCESS_WITH_INFO || indicator == SQL_NULL_DATA || left <= 1) break;
      piece = left;
    }
    while (length > start && line[length - 1] == ' ') --length;
    line[length] = '\0';
    if (column < columns && separatorLength > 0 && length + separatorLength < kLineLimit) {
      std::memcpy(line + length, separator, separatorLength);
      length += separatorLength;
      line[length] = '\0';
    }
  }
  return code;
}

KV_API int16_t KV_CALL OD_GetData(OdbcBinding* binding, void* statement, int16_t column,
                                  char* buffer, int32_t size) {
  if (!kvodbc::Usable(binding)) return SQL_ERROR;
  SQLLEN indicator = 0;
  const SQLRETURN code =
      ODBC_CALL(binding, SQLGetData, static_cast<SQLHSTMT>(statement),
                static_cast<SQLUSMALLINT>(column), SQLSMALLINT{SQL_C_CHAR},
                static_cast<SQLPOINTER>(buffer), static_cast<SQLLEN>(size), &indicator);
  // A null column reads as an empty text, not as what the buffer held.
  if (indicator == SQL_NULL_DATA && buffer != nullptr && size > 0) buffer[0] = '\0';
  return code;
}

KV_API int16_t KV_CALL OD_DescribeCol(OdbcBinding* binding, void* statement, int16_t column,
                                      char* name, int16_t nameSize, int16_t* type) {
  if (!kvodbc::Usable(binding)) return SQL_ERROR;
  SQLSMALLINT nameLength = 0;
  SQLSMALLINT sqlType = 0;
  SQLULEN columnSize = 0;
  SQLSMALLINT decimals = 0;
  SQLSMALLINT nullable = 0;
  const SQLRETURN code = ODBC_CALL(
      binding, SQLDescribeCol, static_cast<SQLHSTMT>(statement), static_cast<SQLUSMALLINT>(column),
      reinterpret_cast<SQLCHAR*>(name), static_cast<SQLSMALLINT>(nameSize), &nameLength, &sqlType,
      &columnSize, &decimals, &nullable);
  if (type != nullptr) *type = sqlType;
  return code;
}

KV_API int16_t KV_CALL OD_ColAttributes(OdbcBinding* binding, void* statement, int16_t column,
                                        int32_t* value) {
  if (!kvodbc::Usable(binding)) return SQL_ERROR;
  SQLLEN number = 0;
  const SQLRETURN code =
      ODBC_CALL(binding, SQLColAttributes, static_cast<SQLHSTMT>(statement),
                static_cast<SQLUSMALLINT>(column), SQLUSMALLINT{SQL_COLUMN_DISPLAY_SIZE},
                static_cast<SQLPOINTER>(nullptr), SQLSMALLINT{0},
                static_cast<SQLSMALLINT*>(nullptr), &number);
  // The host's value is 32 bits wide; a larger display size is capped.
  if (value != nullptr)
    *value = static_cast<int32_t>(std::clamp<SQLLEN>(number, INT32_MIN, INT32_MAX));
  return code;
}

KV_API int16_t KV_CALL OD_LibRequete(OdbcBinding* binding, void* statement) {
  if (!kvodbc::Usable(binding)) return SQL_ERROR;
  return ODBC_CALL(binding, SQLFreeStmt, static_cast<SQLHSTMT>(statement), SQLUSMALLINT{SQL_DROP});
}

KV_API int16_t KV_CALL OD_Transaction(OdbcBinding* binding, void* connection, int16_t operation) {
  if (!kvodbc::Usable(binding)) return SQL_ERROR;
  const auto environment = static_cast<SQLHENV>(binding->environment);
  const auto handle = static_cast<SQLHDBC>(connection);
  switch (operation) {
    case 1:
      return ODBC_CALL(binding, SQLSetConnectOption, handle, SQLUSMALLINT{SQL_AUTOCOMMIT},
                       SQLULEN{SQL_AUTOCOMMIT_OFF});
    case 2: {
      const SQLRETURN code =
          ODBC_CALL(binding, SQLTransact, environment, handle, SQLUSMALLINT{SQL_COMMIT});
      if (!kvodbc::Succeeded(code)) return code;
      return ODBC_CALL(binding, SQLSetConnectOption, handle, SQLUSMALLINT{SQL_AUTOCOMMIT},
                       SQLULEN{SQL_AUTOCOMMIT_ON});
    }
    case 3: {
      const SQLRETURN code =
          ODBC_CALL(binding, SQLTransact, environment, handle, SQLUSMALLINT{SQL_ROLLBACK});
      if (!kvodbc::Succeeded(code)) return code;
      ODBC_CALL(binding, SQLSetConnectOption, handle, SQLUSMALLINT{SQL_AUTOCOMMIT},
                SQLULEN{SQL_AUTOCOMMIT_ON});
      binding->lastCode = code;
      return code;
    }
    default:
      return binding->lastCode;
  }
}
