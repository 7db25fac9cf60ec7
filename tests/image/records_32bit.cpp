// Compiled with -m32 -fsyntax-only by CTest: the records kvimage shares with
// the host keep their defined offsets on a 32-bit target, where the header
// checks each of them.
#include "kv/host_exports.h"
#include "kv/image.h"

static_assert(sizeof(void*) == 4, "this check must be compiled for a 32-bit target");
static_assert(sizeof(ImageSource) == 304 && sizeof(ImageRecord) == 333, "records");
