// The columns of a table as a text.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "kv/odbc.h"
#include "odbc/calls.h"
#include "odbc/global_text.h"
#include "odbc/text_util.h"

namespace {

constexpr SQLLEN kNameBuffer = 31;       // 30 characters
constexpr SQLLEN kTypeNameBuffer = 129;  // 128 characters

// One letter for the kind of data a column holds (see docs/formats.md).
char TypeLetter(SQLSMALLINT type) {
  switch (type) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
      return 'C';
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
      return 'M';
    case SQL_NUMERIC:
    case SQL_DECIMAL:
      return 'N';
    case SQL_INTEGER:
    case SQL_SMALLINT:
    case SQL_TINYINT:
    case SQL_BIGINT:
      return 'I';
    case SQL_FLOAT:
    case SQL_REAL:
    case SQL_DOUBLE:
      return 'F';
    case SQL_DATE:
    case SQL_TYPE_DATE:
      return 'D';
    case SQL_TIME:
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
      return 'T';
    case SQL_BIT:
      return 'L';
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
      return 'B';
    default:
      return '?';
  }
}

std::string Text(const char* buffer, SQLLEN indicator, SQLLEN size) {
  if (indicator == SQL_NULL_DATA) return {};
  return std::string(kvodbc::TrimRight(std::string_view(buffer, strnlen(buffer, size - 1))));
}

std::string Number(long value, SQLLEN indicator) {
  return indicator == SQL_NULL_DATA ? std::string() : std::to_string(value);
}

std::string Padded(std::string text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

}  // namespace

KV_API int16_t KV_CALL OD_GetColonnes(OdbcBinding* binding, void* connection, const char* table,
                                      int16_t formatted, char** textOut, int16_t extended) {
  if (!kvodbc::Usable(binding)) return SQL_ERROR;
  kvodbc::TextBuilder text;
  SQLHSTMT statement = SQL_NULL_HSTMT;
  SQLRETURN code = ODBC_CALL(binding, SQLAllocStmt, static_cast<SQLHDBC>(connection), &statement);
  if (!kvodbc::Succeeded(code)) {
    if (textOut != nullptr) *textOut = text.Release();
    return code;
  }
  std::string owner;
  std::string name;
  bool withOwner = false;
  if (table != nullptr && *table != '\0') {
    name = table;
    const size_t point = name.find('.');
    if (point != std::string::npos) {
      owner = name.substr(0, point);
      name.erase(0, point + 1);
      withOwner = true;
    }
    code = ODBC_CALL(binding, SQLColumns, statement, static_cast<SQLCHAR*>(nullptr), SQLSMALLINT{0},
                     withOwner ? reinterpret_cast<SQLCHAR*>(owner.data()) : nullptr,
                     static_cast<SQLSMALLINT>(withOwner ? SQL_NTS : 0),
                     reinterpret_cast<SQLCHAR*>(name.data()), SQLSMALLINT{SQL_NTS},
                     static_cast<SQLCHAR*>(nullptr), SQLSMALLINT{0});
  } else {
    code = ODBC_CALL(binding, SQLColumns, statement, static_cast<SQLCHAR*>(nullptr), SQLSMALLINT{0},
                     static_cast<SQLCHAR*>(nullptr), SQLSMALLINT{0}, static_cast<SQLCHAR*>(nullptr),
                     SQLSMALLINT{0}, static_cast<SQLCHAR*>(nullptr), SQLSMALLINT{0});
  }
  if (kvodbc::Succeeded(code)) {
    char columnName[kNameBuffer] = {};
    SQLSMALLINT dataType = 0;
    SQLINTEGER length = 0;
    char typeName[kTypeNameBuffer] = {};
    SQLINTEGER precision = 0;
    SQLSMALLINT scale = 0;
    SQLSMALLINT radix = 0;
    SQLSMALLINT nullable = 0;
    SQLLEN indicator[12] = {};
    auto bind = [&](SQLUSMALLINT number, SQLSMALLINT cType, void* value, SQLLEN size) {
      ODBC_CALL(binding, SQLBindCol, statement, number, cType, static_cast<SQLPOINTER>(value), size,
                &indicator[number]);
    };
    bind(4, SQL_C_CHAR, columnName, kNameBuffer);
    bind(5, SQL_C_SSHORT, &dataType, 0);
    bind(8, SQL_C_SLONG, &length, 0);
    if (extended != 0) {
      bind(6, SQL_C_CHAR, typeName, kTypeNameBuffer);
      bind(7, SQL_C_SLONG, &precision, 0);
      bind(9, SQL_C_SSHORT, &scale, 0);
      bind(10, SQL_C_SSHORT, &radix, 0);
      bind(11, SQL_C_SSHORT, &nullable, 0);
    }
    bool first = true;
    for (;;) {
      columnName[0] = typeName[0] = '\0';
      dataType = scale = radix = nullable = 0;
      length = precision = 0;
      const SQLRETURN fetched = ODBC_CALL(binding, SQLFetch, statement);
      if (!kvodbc::Succeeded(fetched)) break;
      std::string line = first ? "" : "\r\n";
      first = false;
      const std::string column = Text(columnName, indicator[4], kNameBuffer);
      if (formatted == 0) {
        line += column;
      } else {
        const char letter = TypeLetter(dataType);
        line += Padded(column, 30);
        line += letter;
        line += Padded(std::to_string(dataType + 8), 15);
        line += Padded(Number(length, indicator[8]), 15);
        if (extended != 0) {
          line += "\t" + Text(typeName, indicator[6], kTypeNameBuffer);
          line += "\t" + Number(radix, indicator[10]);
          line += "\t" + Number(precision, indicator[7]);
          line += "\t" + (letter == 'T' ? std::string() : Number(scale, indicator[9]));
          line += nullable != 0 && indicator[11] != SQL_NULL_DATA ? "\t1" : "\t0";
        }
      }
      if (!text.Append(line)) break;
    }
    binding->lastCode = code;
  }
  ODBC_CALL(binding, SQLFreeStmt, statement, SQLUSMALLINT{SQL_DROP});
  binding->lastCode = code;
  if (textOut != nullptr) *textOut = text.Release();
  return code;
}
