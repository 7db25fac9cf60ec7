// Compiled with -m32 -fsyntax-only by CTest: the header checks the defined
// offsets of the binding and the connection record on a 32-bit target.
#include "kv/odbc.h"

static_assert(sizeof(void*) == 4, "this check must be compiled for a 32-bit target");
static_assert(sizeof(OdbcBinding) == 593 && sizeof(ConnectionInfo) == 408, "records");
