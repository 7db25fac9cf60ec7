// The binding's environment handle, allocated on first need.
#pragma once
#include "kv/odbc.h"

namespace kvodbc {

// Allocates the environment when the binding has none (its code becomes the
// last code); true when one is there.
bool EnsureEnvironment(OdbcBinding* binding);

}  // namespace kvodbc
