// Handle types that cross the boundary between the host and the libraries.
#pragma once
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// A moveable global memory handle: an entry of the platform's process-wide
// handle table. 0 is never a valid handle.
typedef uint32_t KVHGLOBAL;

#ifdef __cplusplus
}
#endif
