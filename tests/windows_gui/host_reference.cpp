// The image test program refers to the host's opener, so that the system
// loads kvhost.dll with the program, before the library's attach looks for it.
#include "kv/host_exports.h"

extern "C" {
int32_t(KV_CALL* const kvKeepHostLoaded)(ImageSource*, const char*, int32_t, int16_t,
                                         int32_t) = &BMP_bOpenExport;
}
