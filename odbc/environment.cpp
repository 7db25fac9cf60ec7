#include "odbc/environment.h"

#include "odbc/calls.h"

namespace kvodbc {

bool EnsureEnvironment(OdbcBinding* binding) {
  if (binding->environment != nullptr) return true;
  SQLHENV environment = SQL_NULL_HENV;
  const SQLRETURN code = ODBC_CALL(binding, SQLAllocEnv, &environment);
  if (!Succeeded(code) || environment == SQL_NULL_HENV) return false;
  binding->environment = environment;
  return true;
}

}  // namespace kvodbc
