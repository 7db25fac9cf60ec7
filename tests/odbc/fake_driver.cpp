// A small ODBC 2 driver for the tests, loaded by unixODBC through the
// project's odbcinst.ini. It has no SQLDriverConnect (the driver manager
// answers IM001), takes its DBMS name from KV_FAKE_DBMS, appends every
// statement and statement option it is sent to the file KV_FAKE_LOG, and
// serves one-column results whose long data comes without a total length:
//   LONG n        one row holding n bytes (byte i = (7 i + 3) mod 256)
//   NULL          one row holding a null value
//   anything else one row holding "ok"
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Parameter {
  SQLPOINTER token = nullptr;
  bool atExecution = false;
};

struct Statement {
  std::optional<std::string> value;
  Parameter parameters[8];
  int pending = 0;  // the next parameter whose data is asked for, from 1
  int busyExec = -1;
  int busyFetch = -1;
  int markers = 0;
  bool hasRow = false;
  bool onRow = false;
  size_t offset = 0;
  bool exhausted = false;
};

void Log(const std::string& line) {
  const char* path = std::getenv("KV_FAKE_LOG");
  if (path == nullptr) return;
  if (FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
  }
}

// KV_FAKE_STILL_EXECUTING=n: statements and fetches answer "still
// executing" n times before they answer.
bool StillExecuting(int& pending) {
  if (pending < 0) {
    const char* count = std::getenv("KV_FAKE_STILL_EXECUTING");
    pending = count != nullptr ? std::atoi(count) : 0;
  }
  if (pending == 0) return false;
  --pending;
  return true;
}

unsigned char PatternByte(size_t i) {
  return static_cast<unsigned char>((7 * i + 3) & 0xFF);
}

SQLRETURN CopyText(const char* text, SQLPOINTER buffer, SQLSMALLINT size, SQLSMALLINT* length) {
  const size_t n = std::strlen(text);
  if (length != nullptr) *length = static_cast<SQLSMALLINT>(n);
  if (buffer != nullptr && size > 0) {
    const size_t copied = std::min(n, static_cast<size_t>(size - 1));
    std::memcpy(buffer, text, copied);
    static_cast<char*>(buffer)[copied] = '\0';
  }
  return SQL_SUCCESS;
}

}  // namespace

FAKE_EXPORT SQLRETURN SQLAllocEnv(SQLHENV* env) {
  *env = reinterpret_cast<SQLHENV>(new int(1));
  return SQL_SUCCESS;
}
FAKE_EXPORT SQLRETURN SQLFreeEnv(SQLHENV env) {
  delete reinterpret_cast<int*>(env);
  return SQL_SUCCESS;
}
FAKE_EXPORT SQLRETURN SQLAllocConnect(SQLHENV, SQLHDBC* dbc) {
  *dbc = reinterpret_cast<SQLHDBC>(new int(2));
  return SQL_SUCCESS;
}
FAKE_EXPORT SQLRETURN SQLFreeConnect(SQLHDBC dbc) {
  delete reinterpret_cast<int*>(dbc);
  return SQL_SUCCESS;
}
FAKE_EXPORT SQLRETURN SQLConnect(SQLHDBC, SQLCHAR* dsn, SQLSMALLINT, SQLCHAR* user, SQLSMALLINT,
                                 SQLCHAR*, SQLSMALLINT) {
  Log(std::string("CONNECT ") + reinterpret_cast<char*>(dsn) + " " +
      (user != nullptr ? reinterpret_cast<char*>(user) : ""));
  return SQL_SUCCESS;
}
FAKE_EXPORT SQLRETURN SQLDisconnect(SQLHDBC) {
  return SQL_SUCCESS;
}
FAKE_EXPORT SQLRETURN SQLAllocStmt(SQLHDBC, SQLHSTMT* stmt) {
  *stmt = reinterpret_cast<SQLHSTMT>(new Statement());
  return SQL_SUCCESS;
}
FAKE_EXPORT SQLRETURN SQLFreeStmt(SQLHSTMT stmt, SQLUSMALLINT option) {
  if (option == SQL_DROP) delete reinterpret_cast<Statement*>(stmt);
  return SQL_SUCCESS;
}
FAKE_EXPORT SQLRETURN SQLSetStmtOption(SQLHSTMT, SQLUSMALLINT option, SQLULEN value) {
  Log("OPTION " + std::to_string(option) + "=" + std::to_string(value));
  return SQL_SUCCESS;
}
FAKE_EXPORT SQLRETURN SQLSetConnectOption(SQLHDBC, SQLUSMALLINT, SQLULEN) {
  return SQL_SUCCESS;
}
FAKE_EXPORT SQLRETURN SQLTransact(SQLHENV, SQLHDBC, SQLUSMALLINT) {
  return SQL_SUCCESS;
}

FAKE_EXPORT SQLRETURN SQLExecDirect(SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER length) {
  auto* s = reinterpret_cast<Statement*>(stmt);
  const std::string sql = length == SQL_NTS ? std::string(reinterpret_cast<char*>(text))
                                            : std::string(reinterpret_cast<char*>(text), length);
  Log("EXEC " + sql);
  if (StillExecuting(s->busyExec)) return SQL_STILL_EXECUTING;
  s->busyExec = -1;
  const int markers = static_cast<int>(std::count(sql.begin(), sql.end(), '?'));
  Parameter parameters[8];
  std::copy(std::begin(s->parameters), std::end(s->parameters), parameters);
  *s = Statement();
  std::copy(std::begin(parameters), std::end(parameters), s->parameters);
  s->busyExec = -1;
  s->markers = std::min(markers, 8);
  s->hasRow = true;
  for (int k = 0; k < s->markers; ++k) {
    if (s->parameters[k].atExecution) {
      s->pending = k + 1;
      return SQL_NEED_DATA;
    }
  }
  if (sql.rfind("LONG ", 0) == 0) {
    const size_t n = std::strtoul(sql.c_str() + 5, nullptr, 10);
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>(PatternByte(i));
    s->value = bytes;
  } else if (sql == "NULL") {
    s->value.reset();
  } else {
    s->value = "ok";
  }
  return SQL_SUCCESS;
}
// Parameters sent at execution time: each piece is logged as "PUT n" (or
// "PUT NULL").
FAKE_EXPORT SQLRETURN SQLBindParameter(SQLHSTMT stmt, SQLUSMALLINT number, SQLSMALLINT, SQLSMALLINT,
                                       SQLSMALLINT sqlType, SQLULEN, SQLSMALLINT, SQLPOINTER value,
                                       SQLLEN, SQLLEN* indicator) {
  auto* s = reinterpret_cast<Statement*>(stmt);
  if (number < 1 || number > 8) return SQL_ERROR;
  s->parameters[number - 1].token = value;
  s->parameters[number - 1].atExecution =
      indicator != nullptr &&
      (*indicator == SQL_DATA_AT_EXEC || *indicator <= SQL_LEN_DATA_AT_EXEC_OFFSET);
  Log("BIND " + std::to_string(number) + " type " + std::to_string(sqlType));
  return SQL_SUCCESS;
}
FAKE_EXPORT SQLRETURN SQLParamData(SQLHSTMT stmt, SQLPOINTER* token) {
  auto* s = reinterpret_cast<Statement*>(stmt);
  while (s->pending >= 1 && s->pending <= s->markers) {
    const Parameter& p = s->parameters[s->pending - 1];
    ++s->pending;
    if (p.atExecution) {
      Log("DATA");
      *token = p.token;
      return SQL_NEED_DATA;
    }
  }
  s->pending = 0;
  return SQL_SUCCESS;
}
FAKE_EXPORT SQLRETURN SQLPutData(SQLHSTMT, SQLPOINTER, SQLLEN length) {
  Log(length == SQL_NULL_DATA ? std::string("PUT NULL") : "PUT " + std::to_string(length));
  return SQL_SUCCESS;
}
FAKE_EXPORT SQLRETURN SQLPrepare(SQLHSTMT, SQLCHAR*, SQLINTEGER) {
  return SQL_ERROR;
}
FAKE_EXPORT SQLRETURN SQLExecute(SQLHSTMT) {
  return SQL_ERROR;
}
FAKE_EXPORT SQLRETURN SQLNumResultCols(SQLHSTMT, SQLSMALLINT* count) {
  *count = 1;
  return SQL_SUCCESS;
}
FAKE_EXPORT SQLRETURN SQLDescribeCol(SQLHSTMT, SQLUSMALLINT, SQLCHAR* name, SQLSMALLINT size,
                                     SQLSMALLINT* length, SQLSMALLINT* type, SQLULEN* columnSize,
                                     SQLSMALLINT* decimals, SQLSMALLINT* nullable) {
  CopyText("C1", name, size, length);
  if (type) *type = SQL_LONGVARBINARY;
  if (columnSize) *columnSize = 2147483647;
  if (decimals) *decimals = 0;
  if (nullable) *nullable = SQL_NULLABLE;
  return SQL_SUCCESS;
}
FAKE_EXPORT SQLRETURN SQLColAttributes(SQLHSTMT, SQLUSMALLINT, SQLUSMALLINT field, SQLPOINTER,
                                       SQLSMALLINT, SQLSMALLINT*, SQLLEN* number) {
  if (number != nullptr) *number = field == SQL_COLUMN_TYPE ? SQL_LONGVARBINARY : 0;
  return SQL_SUCCESS;
}
FAKE_EXPORT SQLRETURN SQLFetch(SQLHSTMT stmt) {
  auto* s = reinterpret_cast<Statement*>(stmt);
  if (StillExecuting(s->busyFetch)) {
    Log("FETCH busy");
    return SQL_STILL_EXECUTING;
  }
  s->busyFetch = -1;
  if (!s->hasRow) return SQL_NO_DATA;
  s->hasRow = false;
  s->onRow = true;
  s->offset = 0;
  s->exhausted = false;
  return SQL_SUCCESS;
}
// Long data without its total length: SQL_NO_TOTAL while bytes remain after
// the piece, the piece's own length for the last one.
FAKE_EXPORT SQLRETURN SQLGetData(SQLHSTMT stmt, SQLUSMALLINT, SQLSMALLINT cType, SQLPOINTER buffer,
                                 SQLLEN size, SQLLEN* indicator) {
  auto* s = reinterpret_cast<Statement*>(stmt);
  if (!s->onRow) return SQL_ERROR;
  if (!s->value) {
    if (indicator) *indicator = SQL_NULL_DATA;
    return SQL_SUCCESS;
  }
  if (s->exhausted) return SQL_NO_DATA;
  const std::string& value = *s->value;
  const size_t remaining = value.size() - s->offset;
  const size_t room = cType == SQL_C_CHAR ? (size > 0 ? size - 1 : 0) : static_cast<size_t>(size);
  const size_t piece = std::min(remaining, room);
  if (buffer != nullptr && piece > 0) std::memcpy(buffer, value.data() + s->offset, piece);
  if (cType == SQL_C_CHAR && buffer != nullptr && size > 0)
    static_cast<char*>(buffer)[piece] = '\0';
  if (remaining > room) {
    s->offset += piece;
    if (indicator) *indicator = SQL_NO_TOTAL;
    return SQL_SUCCESS_WITH_INFO;
  }
  s->offset += piece;
  s->exhausted = true;
  if (indicator) *indicator = static_cast<SQLLEN>(piece);
  return SQL_SUCCESS;
}
FAKE_EXPORT SQLRETURN SQLGetInfo(SQLHDBC, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT size,
                                 SQLSMALLINT* length) {
  switch (type) {
    case SQL_DBMS_NAME: {
      const char* name = std::getenv("KV_FAKE_DBMS");
      return CopyText(name != nullptr ? name : "FakeBase", value, size, length);
    }
    case SQL_DRIVER_NAME:
      return CopyText("libkvfakeodbc.so", value, size, length);
    case SQL_DRIVER_ODBC_VER:
      return CopyText("02.00", value, size, length);
    default:
      if (value != nullptr && size >= 4) std::memset(value, 0, 4);
      if (length) *length = 4;
      return SQL_SUCCESS;
  }
}
FAKE_EXPORT SQLRETURN SQLError(SQLHENV, SQLHDBC, SQLHSTMT, SQLCHAR*, SQLINTEGER*, SQLCHAR*,
                               SQLSMALLINT, SQLSMALLINT*) {
  return SQL_NO_DATA;
}
