/* kvcomm's serial and parallel port language functions. Each takes the
 * host's CallBlock; port numbers n >= 1 name COMn, n <= 0 LPT|n|, and only
 * ports -32 to 31 exist (the instance's table); any other port fails
 * quietly. A function whose result is a boolean returns that boolean; the
 * others return 1 once their result is written and 0 when the syntax is not
 * theirs or the host's result area refuses the result. */
#ifndef KV_COMM_SERIAL_H
#define KV_COMM_SERIAL_H

#include "kv/export.h"
#include "kv/ext_protocol.h"

#ifdef __cplusplus
extern "C" {
#endif

KV_EXPORT int32_t KV_CALL SERIE_bsOuvre(CallBlock* call);
KV_EXPORT int32_t KV_CALL SERIE_bsFerme(CallBlock* call);
KV_EXPORT int32_t KV_CALL SERIE_bsFixeParametre(CallBlock* call);
KV_EXPORT int32_t KV_CALL SERIE_bsEchap(CallBlock* call);
KV_EXPORT int32_t KV_CALL SERIE_bsLit(CallBlock* call);
KV_EXPORT int32_t KV_CALL SERIE_bsEcrit(CallBlock* call);
KV_EXPORT int32_t KV_CALL SERIE_bsDansFileEntree(CallBlock* call);
KV_EXPORT int32_t KV_CALL SERIE_bsDansFileSortie(CallBlock* call);

#ifdef __cplusplus
}
#endif

#endif /* KV_COMM_SERIAL_H */
