// Internal: the Windows headers, for the pass-through sources of this
// folder only. Include it after the layer's own headers: <windows.h> defines
// many of the layer's constant names (GENERIC_READ, ERROR_SUCCESS, ...) as
// macros, which must not reach their declarations.
#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
