/* kvcomm's command entry and its network language functions. The host
 * speaks DLL_bCommande as for every extension library; each NET_bNet
 * function takes the host's CallBlock. Servers and connections are known to
 * the language by 32-bit identifiers of the instance's object list; an
 * identifier that is not in it, or not of the kind the function wants, gives
 * the function's neutral result (0, false or an empty text). A function
 * whose result is a boolean returns that boolean; the others return 1 once
 * their result is written (or their work done) and 0 when the syntax is not
 * one their table entry declares or the identifier is unknown. */
#ifndef KV_COMM_FUNCTIONS_H
#define KV_COMM_FUNCTIONS_H

#include <stdint.h>

#include "kv/export.h"
#include "kv/ext_protocol.h"

#ifdef __cplusplus
extern "C" {
#endif

KV_EXPORT int32_t KV_CALL DLL_bCommande(int16_t command, uintptr_t argument, void* block);

KV_EXPORT int32_t KV_CALL NET_bNetAdresseIP(CallBlock* call);
KV_EXPORT int32_t KV_CALL NET_bNetNomMachine(CallBlock* call);
KV_EXPORT int32_t KV_CALL NET_bNetDemarreServeur(CallBlock* call);
KV_EXPORT int32_t KV_CALL NET_bNetFinServeur(CallBlock* call);
KV_EXPORT int32_t KV_CALL NET_bNetConnecte(CallBlock* call);
KV_EXPORT int32_t KV_CALL NET_bNetDeconnecte(CallBlock* call);
KV_EXPORT int32_t KV_CALL NET_bNetMessageBoxDistant(CallBlock* call);
KV_EXPORT int32_t KV_CALL NET_bNetEnvoieMessage(CallBlock* call);
KV_EXPORT int32_t KV_CALL NET_bNetEnvoieBuffer(CallBlock* call);
KV_EXPORT int32_t KV_CALL NET_bNetExecute(CallBlock* call);
KV_EXPORT int32_t KV_CALL NET_bNetEnvoieFichier(CallBlock* call);
KV_EXPORT int32_t KV_CALL NET_bNetRecupereFichier(CallBlock* call);
KV_EXPORT int32_t KV_CALL NET_bNetListeRep(CallBlock* call);
KV_EXPORT int32_t KV_CALL NET_bNetListeDisque(CallBlock* call);

#ifdef __cplusplus
}
#endif

#endif /* KV_COMM_FUNCTIONS_H */
