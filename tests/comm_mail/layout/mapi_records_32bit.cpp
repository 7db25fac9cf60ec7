// Compiled with -m32 only: the static_asserts of the Simple MAPI header
// check the records' published 32-bit layout.
#include "kv/simple_mapi.h"
