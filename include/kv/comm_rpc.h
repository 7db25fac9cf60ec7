// kvcomm's remote services: a server that loads modules and calls their
// exports for its clients and transfers files, the clients, and the remote
// functions built on them.
//
// Wire formats (little-endian): docs/formats.md, "Remote calls".
#pragma once
#include <stdint.h>

#include "kv/comm_net.h"
#include "kv/export.h"

#pragma pack(push, 1)
// A call as a caller hands it to lAppelRPC: the request is the 93-byte
// header followed by one 21-byte entry per parameter (the 13 descriptor
// bytes, then an 8-byte slot with the value or, by reference, the buffer's
// address); the reply receives the outcome.
struct KVRPC_CALL {
  unsigned char* request;
  struct KVRPC_REPLY* reply;
};
// The reply record: marker, status, result size and result, then one
// KVRPC_OUT per parameter of kind 2 or 3, in order.
struct KVRPC_OUT {
  int32_t size;  // bytes received into the buffer
  void* buffer;  // the buffer (a grown or new global block when it had to be)
};
struct KVRPC_REPLY {
  uint16_t marker;
  int32_t status;
  uint16_t resultSize;
  unsigned char result[8];
  struct KVRPC_OUT out[1];  // as many as the call has out parameters
};
#pragma pack(pop)

// Server side. `kind` 0: call server (ExecRPC), 1: file server (ExecFTP).
KV_API clCONNECTED* KV_CALL pclStartServeur(int kind, unsigned int port, long mode);
// Stops the listener, ends and waits for every session of the server, then
// destroys it: 1, or 0 (the object kept) when the socket service cannot end.
KV_API int KV_CALL bStopServeur(clCONNECTED* server);
KV_API void KV_CALL ExecRPC(clCHANNEL* channel);
KV_API void KV_CALL ExecFTP(clCHANNEL* channel);

// Client side.
KV_API clCLIENT* KV_CALL pclConnecteLibrairie(int kind, const char* serverAddress,
                                              const char* moduleName, unsigned int port,
                                              const char* userName, const char* password, long mode,
                                              long timeout);
// 0 after a call answered with status 0 (or a call that wants no reply),
// else the reply's status (1 to 26), or the socket error that broke the
// call, or 10022 when the reply did not fit the call record.
KV_API long KV_CALL lAppelRPC(clCLIENT* client, KVRPC_CALL* call);
KV_API void KV_CALL DeconnecteLibrairie(clCLIENT* client);
KV_API int KV_CALL nFTPGet(clCLIENT* client, const char* remoteFile, const char* localFile,
                           unsigned int progressMessage, int progressStep);
KV_API int KV_CALL nFTPPut(clCLIENT* client, const char* localFile, const char* remoteFile,
                           unsigned int progressMessage, int progressStep);

// A transfer's progress messages are posted to every top-level window
// (wParam bytes done, lParam the total). The observer sees what the thread
// reports besides: each notice (finished 0), then the end (finished 1
// complete, -1 failed).
typedef void (*KVRPC_TRANSFER_OBSERVER)(void* context, unsigned int message, int64_t done,
                                        int64_t total, int finished);
// Installs an observer for every transfer thread (null removes it).
KV_API void KV_CALL KVRPC_SetTransferObserver(KVRPC_TRANSFER_OBSERVER observer, void* context);
// Waits until no transfer thread runs, at most `milliseconds` (negative:
// no limit); 1 when none runs, 0 on time out.
KV_API int KV_CALL KVRPC_WaitTransfers(long milliseconds);

// Remote functions (client side).
KV_API unsigned long KV_CALL REM_MessageBox(clCLIENT* client, void* window, char* text,
                                            long textSize, char* caption, long captionSize,
                                            unsigned long style);
KV_API void KV_CALL REM_PostMessage(clCLIENT* client, unsigned long window, unsigned long message,
                                    unsigned long wparam, unsigned long lparam);
KV_API unsigned long KV_CALL REM_RegisterWindowMessage(clCLIENT* client, char* name, long nameSize);
KV_API unsigned long KV_CALL REM_WinExec(clCLIENT* client, char* commandLine, long size,
                                         unsigned long show);
KV_API void KV_CALL KVPostBuffer(clCLIENT* client, unsigned long window, char* buffer,
                                 long bufferSize, unsigned long byteCount, unsigned long dataWord);
KV_API unsigned long KV_CALL KVGetLogicalDrives(clCLIENT* client);
KV_API void KV_CALL KVRecupDisqueLogique(clCLIENT* client, char* buffer, long size);
KV_API unsigned long KV_CALL KVDir(clCLIENT* client, char* pattern, long patternSize, char* buffer,
                                   long bufferSize);

// Server-side helpers, called by the server for the remote functions. The
// buffers of RecupDisqueLogique and Dir are bounded by what the session
// allocated for them (see docs/formats.md).
KV_API uint32_t KV_CALL KVMessageBox(uint32_t window, char* text, char* caption, uint32_t style);
KV_API uint32_t KV_CALL KVPostMessage(uint32_t window, uint32_t message, uint32_t wparam,
                                      uint32_t lparam);
KV_API uint32_t KV_CALL KVRegisterWindowMessage(char* name);
// Sends the window WM_COPYDATA (wparam 0) with the data word, the byte
// count and the buffer; the window's answer.
KV_API uint32_t KV_CALL PostBuffer(uint32_t window, char* buffer, uint32_t byteCount,
                                   uint32_t dataWord);
KV_API uint32_t KV_CALL KVWinExec(char* commandLine, uint32_t show);
KV_API uint32_t KV_CALL GetLogicalDrives(void);
KV_API void KV_CALL RecupDisqueLogique(char* buffer);
KV_API int32_t KV_CALL Dir(char* pattern, char* buffer);
