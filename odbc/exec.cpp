// Direct execution, with memo parameters sent at execution time, and the
// locked execution of Oracle and SQL Server.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "kv/odbc.h"
#include "odbc/calls.h"
#include "odbc/lock_statement.h"
#include "odbc/memo_scanner.h"

namespace {

constexpr size_t kPieceSize = 4096;
constexpr SQLULEN kLongColumnSize = 2147483647;
constexpr SQLULEN kNullMemoPrecision = 4096;
constexpr SQLULEN kLockTimeoutSeconds = 60;

int32_t MemoLength(const OdbcMemoBlock* memo) {
  int32_t length = 0;
  std::memcpy(&length, memo, sizeof length);
  return length;
}

// Sends one memo block after the driver asked for it: a null block as a
// null value, an empty one as one piece of no bytes (without a piece the
// driver manager answers "Function sequence error"), any other in pieces of
// at most 4096 bytes.
SQLRETURN SendMemo(OdbcBinding* binding, SQLHSTMT statement, const OdbcMemoBlock* memo) {
  if (memo == nullptr)
    return ODBC_CALL(binding, SQLPutData, statement, static_cast<SQLPOINTER>(nullptr),
                     SQLLEN{SQL_NULL_DATA});
  const int32_t length = MemoLength(memo);
  const unsigned char* data = reinterpret_cast<const unsigned char*>(memo) + sizeof(int32_t);
  if (length == 0)
    return ODBC_CALL(binding, SQLPutData, statement,
                     static_cast<SQLPOINTER>(const_cast<unsigned char*>(data)), SQLLEN{0});
  SQLRETURN code = SQL_SUCCESS;
  for (size_t sent = 0; sent < static_cast<size_t>(length);) {
    const size_t piece = std::min(kPieceSize, static_cast<size_t>(length) - sent);
    code = ODBC_CALL(binding, SQLPutData, statement,
                     static_cast<SQLPOINTER>(const_cast<unsigned char*>(data + sent)),
                     static_cast<SQLLEN>(piece));
    if (!kvodbc::Succeeded(code)) break;
    sent += piece;
  }
  return code;
}

SQLRETURN BindMemo(OdbcBinding* binding, SQLHSTMT statement, SQLUSMALLINT number, int16_t kind,
                   const OdbcMemoBlock* memo, SQLPOINTER token, SQLLEN* indicator) {
  const bool text = kind == 2 || kind == 3;
  const SQLSMALLINT sqlType = text ? SQL_LONGVARCHAR : SQL_LONGVARBINARY;
  // Text goes as character data: sqliteodbc turns binary data bound to a
  // text column into the text of a hexadecimal literal ("X'...'"), so the
  // column would not hold the bytes sent. Both kinds are sent with their
  // exact lengths, so no byte is interpreted either way.
  const SQLSMALLINT cType = text ? SQL_C_CHAR : SQL_C_BINARY;
  // The length goes with the at-execution mark: sqliteodbc, not told it,
  // stores an empty value for a memo sent in one piece.
  *indicator = SQL_LEN_DATA_AT_EXEC(memo == nullptr ? 0 : static_cast<SQLLEN>(MemoLength(memo)));
  if (binding->pSQLBindParameter != nullptr)
    return ODBC_CALL(binding, SQLBindParameter, statement, number, SQLSMALLINT{SQL_PARAM_INPUT},
                     cType, sqlType, kLongColumnSize, SQLSMALLINT{0}, token, SQLLEN{0}, indicator);
  const SQLULEN precision =
      memo == nullptr ? kNullMemoPrecision : static_cast<SQLULEN>(MemoLength(memo));
  return ODBC_CALL(binding, SQLSetParam, statement, number, cType, sqlType, precision,
                   SQLSMALLINT{0}, token, indicator);
}

}  // namespace

KV_API int16_t KV_CALL OD_ExecDirect(OdbcBinding* binding, void* connection, void** statementOut,
                                     char* sql, const OdbcMemoTable* memos) {
  if (!kvodbc::Usable(binding) || sql == nullptr) return SQL_ERROR;

  // Memo references are looked for only when memos come with the text; only
  // as many parameters are bound as the text has references for.
  std::unique_ptr<kvodbc::MemoScanner> scanner;
  int16_t bound = 0;
  if (memos != nullptr && memos->count > 0) {
    scanner = std::make_unique<kvodbc::MemoScanner>();
    const int16_t found = scanner->Scan(sql);
    bound = std::min(found, memos->count);
    for (int16_t k = 0; k < bound; ++k) {
      const OdbcMemoBlock* memo = memos->memos[k];
      if (memo != nullptr && MemoLength(memo) < 0) {
        binding->lastCode = SQL_ERROR;
        return SQL_ERROR;
      }
    }
  }

  SQLHSTMT statement = SQL_NULL_HSTMT;
  SQLRETURN code = ODBC_CALL(binding, SQLAllocStmt, static_cast<SQLHDBC>(connection), &statement);
  if (!kvodbc::Succeeded(code)) return code;
  if (statementOut != nullptr) *statementOut = statement;

  std::vector<SQLLEN> indicators(static_cast<size_t>(bound));
  std::vector<int16_t> kinds(static_cast<size_t>(bound));
  if (scanner != nullptr) {
    // Every reference becomes a marker, the first one first: each
    // replacement shortens the text, so the text's own buffer holds it.
    const size_t size = std::strlen(sql) + 1;
    const int16_t found = scanner->count;
    for (int16_t k = 0; k < found; ++k) {
      if (k < bound) kinds[static_cast<size_t>(k)] = scanner->references[k].kind;
      scanner->Replace(k, sql, "?", size);
    }
    for (int16_t k = 0; k < bound && kvodbc::Succeeded(code); ++k) {
      // The parameter's token is its place in the memo table, handed back
      // by SQLParamData when the driver wants its data.
      code = BindMemo(binding, statement, static_cast<SQLUSMALLINT>(k + 1),
                      kinds[static_cast<size_t>(k)], memos->memos[k],
                      reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(k + 1)),
                      &indicators[static_cast<size_t>(k)]);
    }
    if (!kvodbc::Succeeded(code)) return code;
  }

  code = ODBC_CALL(binding, SQLExecDirect, statement, reinterpret_cast<SQLCHAR*>(sql),
                   SQLINTEGER{SQL_NTS});
  while (code == SQL_NEED_DATA) {
    SQLPOINTER token = nullptr;
    code = ODBC_CALL(binding, SQLParamData, statement, &token);
    if (code != SQL_NEED_DATA) break;
    const intptr_t number = reinterpret_cast<intptr_t>(token);
    if (number < 1 || number > bound) {
      binding->lastCode = code = SQL_ERROR;
      break;
    }
    const SQLRETURN sent = SendMemo(binding, statement, memos->memos[number - 1]);
    if (!kvodbc::Succeeded(sent)) {
      code = sent;
      break;
    }
  }
  binding->lastCode = code;
  return code;
}

KV_API int16_t KV_CALL OD_ExecDirectLock(OdbcBinding* binding, void* connection,
                                         void** statementOut, const char* sqlOrTable,
                                         int16_t tableLock) {
  if (!kvodbc::Usable(binding) || sqlOrTable == nullptr) return SQL_ERROR;
  SQLHSTMT statement = SQL_NULL_HSTMT;
  SQLRETURN code = ODBC_CALL(binding, SQLAllocStmt, static_cast<SQLHDBC>(connection), &statement);
  if (!kvodbc::Succeeded(code)) return code;
  if (statementOut != nullptr) *statementOut = statement;
  std::string text = kvodbc::BuildLockStatement(binding->databaseKind, sqlOrTable, tableLock != 0);
  ODBC_CALL(binding, SQLSetStmtOption, statement, SQLUSMALLINT{SQL_QUERY_TIMEOUT},
            SQLULEN{kLockTimeoutSeconds});
  return ODBC_CALL(binding, SQLExecDirect, statement, reinterpret_cast<SQLCHAR*>(text.data()),
                   SQLINTEGER{SQL_NTS});
}
