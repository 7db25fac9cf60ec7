// A driver manager for the tests that forwards to unixODBC's libodbc.so.2
// but lacks some entry points: built once without SQLTransact (a required
// one: loading must fail) and once without SQLBindParameter and SQLSetPos
// (the optional ones: memo parameters go through SQLSetParam).
#include <dlfcn.h>
#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <cstdlib>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

void* Real(const char* name) {
  static void* library = ::dlopen("libodbc.so.2", RTLD_NOW | RTLD_LOCAL);
  void* address = library != nullptr ? ::dlsym(library, name) : nullptr;
  if (address == nullptr) {
    std::fprintf(stderr, "fake driver manager: no %s in libodbc.so.2\n", name);
    std::abort();
  }
  return address;
}

}  // namespace

#define FORWARD(name, params, args)                                            \
  FAKE_EXPORT SQLRETURN name params {                                          \
    static const auto real = reinterpret_cast<decltype(&::name)>(Real(#name)); \
    return real args;                                                          \
  }

FORWARD(SQLDisconnect, (SQLHDBC a), (a))
FORWARD(SQLFreeConnect, (SQLHDBC a), (a))
FORWARD(SQLFreeEnv, (SQLHENV a), (a))
FORWARD(SQLFreeStmt, (SQLHSTMT a, SQLUSMALLINT b), (a, b))
FORWARD(SQLNumResultCols, (SQLHSTMT a, SQLSMALLINT* b), (a, b))
FORWARD(SQLConnect,
        (SQLHDBC a, SQLCHAR* b, SQLSMALLINT c, SQLCHAR* d, SQLSMALLINT e, SQLCHAR* f,
         SQLSMALLINT g),
        (a, b, c, d, e, f, g))
FORWARD(SQLAllocConnect, (SQLHENV a, SQLHDBC* b), (a, b))
FORWARD(SQLAllocEnv, (SQLHENV * a), (a))
FORWARD(SQLAllocStmt, (SQLHDBC a, SQLHSTMT* b), (a, b))
FORWARD(SQLExecDirect, (SQLHSTMT a, SQLCHAR* b, SQLINTEGER c), (a, b, c))
FORWARD(SQLExecute, (SQLHSTMT a), (a))
FORWARD(SQLPrepare, (SQLHSTMT a, SQLCHAR* b, SQLINTEGER c), (a, b, c))
FORWARD(SQLFetch, (SQLHSTMT a), (a))
FORWARD(SQLGetData, (SQLHSTMT a, SQLUSMALLINT b, SQLSMALLINT c, SQLPOINTER d, SQLLEN e, SQLLEN* f),
        (a, b, c, d, e, f))
FORWARD(SQLError,
        (SQLHENV a, SQLHDBC b, SQLHSTMT c, SQLCHAR* d, SQLINTEGER* e, SQLCHAR* f, SQLSMALLINT g,
         SQLSMALLINT* h),
        (a, b, c, d, e, f, g, h))
FORWARD(SQLDataSources,
        (SQLHENV a, SQLUSMALLINT b, SQLCHAR* c, SQLSMALLINT d, SQLSMALLINT* e, SQLCHAR* f,
         SQLSMALLINT g, SQLSMALLINT* h),
        (a, b, c, d, e, f, g, h))
FORWARD(SQLTables,
        (SQLHSTMT a, SQLCHAR* b, SQLSMALLINT c, SQLCHAR* d, SQLSMALLINT e, SQLCHAR* f,
         SQLSMALLINT g, SQLCHAR* h, SQLSMALLINT i),
        (a, b, c, d, e, f, g, h, i))
FORWARD(SQLBindCol, (SQLHSTMT a, SQLUSMALLINT b, SQLSMALLINT c, SQLPOINTER d, SQLLEN e, SQLLEN* f),
        (a, b, c, d, e, f))
FORWARD(SQLColumns,
        (SQLHSTMT a, SQLCHAR* b, SQLSMALLINT c, SQLCHAR* d, SQLSMALLINT e, SQLCHAR* f,
         SQLSMALLINT g, SQLCHAR* h, SQLSMALLINT i),
        (a, b, c, d, e, f, g, h, i))
FORWARD(SQLDescribeCol,
        (SQLHSTMT a, SQLUSMALLINT b, SQLCHAR* c, SQLSMALLINT d, SQLSMALLINT* e, SQLSMALLINT* f,
         SQLULEN* g, SQLSMALLINT* h, SQLSMALLINT* i),
        (a, b, c, d, e, f, g, h, i))
FORWARD(SQLColAttributes,
        (SQLHSTMT a, SQLUSMALLINT b, SQLUSMALLINT c, SQLPOINTER d, SQLSMALLINT e, SQLSMALLINT* f,
         SQLLEN* g),
        (a, b, c, d, e, f, g))
FORWARD(SQLDriverConnect,
        (SQLHDBC a, SQLHWND b, SQLCHAR* c, SQLSMALLINT d, SQLCHAR* e, SQLSMALLINT f, SQLSMALLINT* g,
         SQLUSMALLINT h),
        (a, b, c, d, e, f, g, h))
FORWARD(SQLProcedures,
        (SQLHSTMT a, SQLCHAR* b, SQLSMALLINT c, SQLCHAR* d, SQLSMALLINT e, SQLCHAR* f,
         SQLSMALLINT g),
        (a, b, c, d, e, f, g))
#ifndef KV_FAKE_WITHOUT_TRANSACT
FORWARD(SQLTransact, (SQLHENV a, SQLHDBC b, SQLUSMALLINT c), (a, b, c))
#endif
FORWARD(SQLSetConnectOption, (SQLHDBC a, SQLUSMALLINT b, SQLULEN c), (a, b, c))
FORWARD(SQLGetTypeInfo, (SQLHSTMT a, SQLSMALLINT b), (a, b))
FORWARD(SQLSetParam,
        (SQLHSTMT a, SQLUSMALLINT b, SQLSMALLINT c, SQLSMALLINT d, SQLULEN e, SQLSMALLINT f,
         SQLPOINTER g, SQLLEN* h),
        (a, b, c, d, e, f, g, h))
FORWARD(SQLParamData, (SQLHSTMT a, SQLPOINTER* b), (a, b))
FORWARD(SQLPutData, (SQLHSTMT a, SQLPOINTER b, SQLLEN c), (a, b, c))
FORWARD(SQLGetInfo, (SQLHDBC a, SQLUSMALLINT b, SQLPOINTER c, SQLSMALLINT d, SQLSMALLINT* e),
        (a, b, c, d, e))
FORWARD(SQLSetStmtOption, (SQLHSTMT a, SQLUSMALLINT b, SQLULEN c), (a, b, c))
#ifndef KV_FAKE_WITHOUT_OPTIONAL
FORWARD(SQLBindParameter,
        (SQLHSTMT a, SQLUSMALLINT b, SQLSMALLINT c, SQLSMALLINT d, SQLSMALLINT e, SQLULEN f,
         SQLSMALLINT g, SQLPOINTER h, SQLLEN i, SQLLEN* j),
        (a, b, c, d, e, f, g, h, i, j))
FORWARD(SQLSetPos, (SQLHSTMT a, SQLSETPOSIROW b, SQLUSMALLINT c, SQLUSMALLINT d), (a, b, c, d))
#endif
