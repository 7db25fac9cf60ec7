// Calling the driver manager's entry points held in a binding.
//
// Every entry point is called through unixODBC's own prototype (sql.h,
// sqlext.h), so that SQLLEN and SQLULEN keep their 8 bytes on 64-bit Linux.
// A call is repeated while the driver answers "still executing", and its
// code becomes the binding's last code.
#pragma once
#include <sql.h>
#include <sqlext.h>
// unixODBC defines BOOL as a macro, which would rewrite the platform's
// kvp::BOOL wherever both are seen.
#undef BOOL

#include "kv/odbc.h"

namespace kvodbc {

// True when the binding can be used: present and holding a loaded module.
inline bool Usable(const OdbcBinding* binding) {
  return binding != nullptr && binding->module != nullptr;
}

template <typename Function, typename... Args>
SQLRETURN Invoke(OdbcBinding* binding, void* slot, Args... args) {
  if (slot == nullptr) {
    binding->lastCode = SQL_ERROR;
    return SQL_ERROR;
  }
  const auto function = reinterpret_cast<Function>(slot);
  SQLRETURN code;
  do {
    code = function(args...);
  } while (code == SQL_STILL_EXECUTING);
  binding->lastCode = code;
  return code;
}

inline bool Succeeded(SQLRETURN code) {
  return code == SQL_SUCCESS || code == SQL_SUCCESS_WITH_INFO;
}

}  // namespace kvodbc

// ODBC_CALL(binding, SQLFetch, statement): the binding's slot for SQLFetch,
// called with unixODBC's prototype of SQLFetch.
#define ODBC_CALL(binding, name, ...) \
  ::kvodbc::Invoke<decltype(&::name)>((binding), (binding)->p##name, __VA_ARGS__)
