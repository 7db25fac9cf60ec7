/* kvcomm's e-mail language functions, over the Simple MAPI library loaded
 * by the name MAPI32.DLL. Each takes the host's CallBlock; the message read
 * or written is the instance's Email structure. A function with a boolean
 * result returns it (true exactly when Email.Erreur is 0); the others return
 * 1 once their result is written, 0 when the syntax is not theirs. */
#ifndef KV_COMM_MAIL_H
#define KV_COMM_MAIL_H

#include "kv/export.h"
#include "kv/ext_protocol.h"

#ifdef __cplusplus
extern "C" {
#endif

KV_EXPORT int32_t KV_CALL NET_bEMailOuvreSession(CallBlock* call);
KV_EXPORT int32_t KV_CALL NET_bEMailFermeSession(CallBlock* call);
KV_EXPORT int32_t KV_CALL NET_bEMailMiseAJour(CallBlock* call);
KV_EXPORT int32_t KV_CALL NET_bEMailEnvoieMessage(CallBlock* call);
KV_EXPORT int32_t KV_CALL NET_bEMailLitPremier(CallBlock* call);
KV_EXPORT int32_t KV_CALL NET_bEMailLitSuivant(CallBlock* call);
KV_EXPORT int32_t KV_CALL NET_bEMailSupprimeMessage(CallBlock* call);

#ifdef __cplusplus
}
#endif

#endif /* KV_COMM_MAIL_H */
