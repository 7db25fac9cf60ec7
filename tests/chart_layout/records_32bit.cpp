// Compiled with -m32 -fsyntax-only by CTest: the records shared with the host
// must have their defined offsets on a 32-bit target, where the headers
// check each of them.
#include "kv/chart.h"
#include "kv/ext_protocol.h"

static_assert(sizeof(void*) == 4, "this check must be compiled for a 32-bit target");
static_assert(sizeof(CallBlock) == 87 && sizeof(InstanceContext) == 12, "records");
