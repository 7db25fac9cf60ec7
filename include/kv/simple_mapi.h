/* Simple MAPI as kvcomm calls it and our provider libkvmapi.so answers it:
 * the records, flags, codes and entry points of the published Simple MAPI
 * interface, with its 32-bit ULONG and pointer-sized session handles and
 * window parameters. Texts are Windows-1252. */
#ifndef KV_SIMPLE_MAPI_H
#define KV_SIMPLE_MAPI_H

#include <stdint.h>

#include "kv/export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t MAPI_ULONG;
typedef uintptr_t MAPI_ULONG_PTR;
typedef MAPI_ULONG MAPI_FLAGS;
typedef MAPI_ULONG_PTR LHANDLE;

typedef struct MapiRecipDesc {
  MAPI_ULONG ulReserved;
  MAPI_ULONG ulRecipClass; /* MAPI_ORIG, MAPI_TO, MAPI_CC, MAPI_BCC */
  char* lpszName;
  char* lpszAddress; /* "SMTP:user@host" */
  MAPI_ULONG ulEIDSize;
  void* lpEntryID;
} MapiRecipDesc;

typedef struct MapiFileDesc {
  MAPI_ULONG ulReserved;
  MAPI_ULONG flFlags;
  MAPI_ULONG nPosition; /* 0xFFFFFFFF: no place in the text */
  char* lpszPathName;
  char* lpszFileName;
  void* lpFileType;
} MapiFileDesc;

typedef struct MapiMessage {
  MAPI_ULONG ulReserved;
  char* lpszSubject;
  char* lpszNoteText;
  char* lpszMessageType;
  char* lpszDateReceived; /* "YYYY/MM/DD HH:MM" */
  char* lpszConversationID;
  MAPI_FLAGS flFlags; /* MAPI_UNREAD, MAPI_RECEIPT_REQUESTED, MAPI_SENT */
  MapiRecipDesc* lpOriginator;
  MAPI_ULONG nRecipCount;
  MapiRecipDesc* lpRecips;
  MAPI_ULONG nFileCount;
  MapiFileDesc* lpFiles;
} MapiMessage;

/* Recipient classes. */
#define MAPI_ORIG 0
#define MAPI_TO 1
#define MAPI_CC 2
#define MAPI_BCC 3

/* Call flags. */
#define MAPI_LOGON_UI 0x00000001u
#define MAPI_NEW_SESSION 0x00000002u
#define MAPI_DIALOG 0x00000008u
#define MAPI_UNREAD_ONLY 0x00000020u
#define MAPI_ENVELOPE_ONLY 0x00000040u
#define MAPI_PEEK 0x00000080u
#define MAPI_GUARANTEE_FIFO 0x00000100u
#define MAPI_BODY_AS_FILE 0x00000200u
#define MAPI_SUPPRESS_ATTACH 0x00000800u
#define MAPI_FORCE_DOWNLOAD 0x00001000u
#define MAPI_LONG_MSGID 0x00004000u

/* Message flags. */
#define MAPI_UNREAD 0x00000001u
#define MAPI_RECEIPT_REQUESTED 0x00000002u
#define MAPI_SENT 0x00000004u

/* Identifier buffers: 64 bytes, 512 with MAPI_LONG_MSGID. */
#define MAPI_SHORT_MSGID_SIZE 64
#define MAPI_LONG_MSGID_SIZE 512

/* Return codes. */
#define SUCCESS_SUCCESS 0
#define MAPI_USER_ABORT 1
#define MAPI_E_FAILURE 2
#define MAPI_E_LOGIN_FAILURE 3
#define MAPI_E_DISK_FULL 4
#define MAPI_E_INSUFFICIENT_MEMORY 5
#define MAPI_E_ACCESS_DENIED 6
#define MAPI_E_TOO_MANY_SESSIONS 8
#define MAPI_E_TOO_MANY_FILES 9
#define MAPI_E_TOO_MANY_RECIPIENTS 10
#define MAPI_E_ATTACHMENT_NOT_FOUND 11
#define MAPI_E_ATTACHMENT_OPEN_FAILURE 12
#define MAPI_E_ATTACHMENT_WRITE_FAILURE 13
#define MAPI_E_UNKNOWN_RECIPIENT 14
#define MAPI_E_BAD_RECIPTYPE 15
#define MAPI_E_NO_MESSAGES 16
#define MAPI_E_INVALID_MESSAGE 17
#define MAPI_E_TEXT_TOO_LARGE 18
#define MAPI_E_INVALID_SESSION 19
#define MAPI_E_TYPE_NOT_SUPPORTED 20
#define MAPI_E_AMBIGUOUS_RECIPIENT 21
#define MAPI_E_MESSAGE_IN_USE 22
#define MAPI_E_NETWORK_FAILURE 23
#define MAPI_E_INVALID_EDITFIELDS 24
#define MAPI_E_INVALID_RECIPS 25
#define MAPI_E_NOT_SUPPORTED 26

/* The entry points, as looked up by name. */
typedef MAPI_ULONG(KV_CALL* LPMAPILOGON)(MAPI_ULONG_PTR ulUIParam, char* lpszProfileName,
                                         char* lpszPassword, MAPI_FLAGS flFlags,
                                         MAPI_ULONG ulReserved, LHANDLE* lplhSession);
typedef MAPI_ULONG(KV_CALL* LPMAPILOGOFF)(LHANDLE lhSession, MAPI_ULONG_PTR ulUIParam,
                                          MAPI_FLAGS flFlags, MAPI_ULONG ulReserved);
typedef MAPI_ULONG(KV_CALL* LPMAPIFINDNEXT)(LHANDLE lhSession, MAPI_ULONG_PTR ulUIParam,
                                            char* lpszMessageType, char* lpszSeedMessageID,
                                            MAPI_FLAGS flFlags, MAPI_ULONG ulReserved,
                                            char* lpszMessageID);
typedef MAPI_ULONG(KV_CALL* LPMAPIREADMAIL)(LHANDLE lhSession, MAPI_ULONG_PTR ulUIParam,
                                            char* lpszMessageID, MAPI_FLAGS flFlags,
                                            MAPI_ULONG ulReserved, MapiMessage** lppMessage);
typedef MAPI_ULONG(KV_CALL* LPMAPISAVEMAIL)(LHANDLE lhSession, MAPI_ULONG_PTR ulUIParam,
                                            MapiMessage* lpMessage, MAPI_FLAGS flFlags,
                                            MAPI_ULONG ulReserved, char* lpszMessageID);
typedef MAPI_ULONG(KV_CALL* LPMAPIDELETEMAIL)(LHANDLE lhSession, MAPI_ULONG_PTR ulUIParam,
                                              char* lpszMessageID, MAPI_FLAGS flFlags,
                                              MAPI_ULONG ulReserved);
typedef MAPI_ULONG(KV_CALL* LPMAPISENDMAIL)(LHANDLE lhSession, MAPI_ULONG_PTR ulUIParam,
                                            MapiMessage* lpMessage, MAPI_FLAGS flFlags,
                                            MAPI_ULONG ulReserved);
typedef MAPI_ULONG(KV_CALL* LPMAPIFREEBUFFER)(void* pv);

#ifdef __cplusplus
}
#endif

#if defined(__cplusplus) && (defined(__i386__) || defined(_M_IX86))
#include <cstddef>
/* The published layouts, where pointers are 32 bits wide. */
static_assert(sizeof(MapiRecipDesc) == 24, "MapiRecipDesc");
static_assert(offsetof(MapiRecipDesc, lpszAddress) == 12, "MapiRecipDesc");
static_assert(sizeof(MapiFileDesc) == 24, "MapiFileDesc");
static_assert(offsetof(MapiFileDesc, lpszPathName) == 12, "MapiFileDesc");
static_assert(sizeof(MapiMessage) == 48, "MapiMessage");
static_assert(offsetof(MapiMessage, flFlags) == 24, "MapiMessage");
static_assert(offsetof(MapiMessage, nRecipCount) == 32, "MapiMessage");
static_assert(offsetof(MapiMessage, lpFiles) == 44, "MapiMessage");
static_assert(sizeof(LHANDLE) == 4, "LHANDLE");
#endif

#endif /* KV_SIMPLE_MAPI_H */
