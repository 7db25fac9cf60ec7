/* The per-instance state of kvcomm that its language functions share: the
 * InstanceContext whose address stands in every CallBlock, and the
 * communications record it points at, with the storage of the language
 * structure Email. The command entry creates both (zero-filled, then the
 * port table set to invalid handles and Email.EnDehors to 1) and destroys
 * them; the serial and mail parts give it the functions that do their
 * share (kv::comm::InitPortTable, ClosePortTable, InitEmailState,
 * CloseMailSessions). Texts are zero-terminated Windows-1252. */
#ifndef KV_COMM_INSTANCE_H
#define KV_COMM_INSTANCE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KV_COMM_PORT_COUNT 64
/* Port n uses entry n + 32: ports -32 (LPT32) to 31 (COM31). */
#define KV_COMM_PORT_BIAS 32

#define KV_EMAIL_NAME_SIZE 128
#define KV_EMAIL_DATE_SIZE 20
#define KV_EMAIL_ATTACH_SIZE 256
#define KV_EMAIL_ATTACH_COUNT 10
#define KV_EMAIL_RECIPIENT_COUNT 20
#define KV_EMAIL_MESSAGE_SIZE 32000

/* The members of Email, each with storage of its own of the size the
 * variable table declares. The message text lives in a separate block. */
typedef struct EmailStorage {
  char sender[KV_EMAIL_NAME_SIZE];        /* Email.Expediteur */
  char senderAddress[KV_EMAIL_NAME_SIZE]; /* Email.AdresseExpediteur */
  char receiveDate[KV_EMAIL_DATE_SIZE];   /* Email.DateReception, "YYYY/MM/DD HH:MM" */
  char subject[KV_EMAIL_NAME_SIZE];       /* Email.Sujet */
  char attach[KV_EMAIL_ATTACH_COUNT][KV_EMAIL_ATTACH_SIZE];
  int32_t attachCount;
  char recipients[KV_EMAIL_RECIPIENT_COUNT][KV_EMAIL_NAME_SIZE]; /* Email.Destinataire */
  int32_t recipientCount;
  int32_t out;   /* Email.EnDehors: 1 when there is no current message */
  int32_t error; /* Email.Erreur: code of the last mail operation */
} EmailStorage;

typedef struct CommRecord {
  int32_t networkMarker; /* nonzero: the network functions may be used */
  EmailStorage email;
  char* message; /* the 32000-byte block of Email.Message */
  /* Not used: the instance's object list (servers, connections, mail
   * sessions, each with its kind) is kept in kvcomm's table of identifiers,
   * under this instance's address (comm/objects). */
  void* objects;
} CommRecord;

typedef struct CommInstanceContext {
  CommRecord* record;
  void* ports[KV_COMM_PORT_COUNT]; /* platform handles; all ones when free */
} CommInstanceContext;

#ifdef __cplusplus
}
#endif

#endif /* KV_COMM_INSTANCE_H */
