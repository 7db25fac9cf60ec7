/* libkvhost: the stand-in host's exports that the libraries look up at run
 * time through the platform's module map ("kvhost.DLL").
 */
#ifndef KV_HOST_EXPORTS_H
#define KV_HOST_EXPORTS_H

#include <stdint.h>

#include "kv/export.h"
#include "kv/image.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Opens an image source for kvimage and fills `source` with its name and
 * operations. Kind 0 is a named file, opened for shared reading; `extra` and
 * `value` are not used by this host. Other kinds are not sources this host
 * can open. Nonzero when the source is open; its close operation then
 * releases it. */
KV_API int32_t KV_CALL BMP_bOpenExport(ImageSource* source, const char* name, int32_t extra,
                                       int16_t kind, int32_t value);

#ifdef __cplusplus
}
#endif

#endif
