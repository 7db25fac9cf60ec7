// Compiled by the Windows build's compiler (-fsyntax-only, from CTest): the
// records shared with the host keep their defined offsets on the target the
// host runs on; the public headers check each of them under a 32-bit
// compiler.
#include "kv/chart.h"
#include "kv/ext_protocol.h"
#include "kv/image.h"
#include "kv/xbase.h"

static_assert(sizeof(void*) == 4, "this check must be compiled for the 32-bit target");
static_assert(sizeof(CallBlock) == 87 && sizeof(InstanceContext) == 12, "records");
