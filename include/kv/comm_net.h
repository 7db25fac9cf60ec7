// kvcomm's socket layer: five exported classes (C++ linkage) and the socket
// helpers (C linkage).
//
// A stream between two ends may be scrambled (mode 1): every byte is
// combined by exclusive or with (low byte of the socket's byte counter +
// 0x2D), the counter counting every byte sent or received on that socket.
// Typed values travel little-endian with the widths of the 32-bit platform
// the protocol was defined on: 1 byte for unsigned char, 2 for the shorts, 4
// for the longs and float, 8 for double and long double (sent as a double).
//
// Return conventions: 0 (or a count) on success, -1 on failure with the
// code kept in the object (nGetLastError): a Windows Sockets number or one
// of the library's codes below. Text forms of the codes: szTranslateError.
#pragma once
#include <stdint.h>

#include "kv/export.h"
#include "kv/winsock_types.h"

// The library's own error codes, beside the platform's socket errors.
inline constexpr int KVNET_ERR_ACCEPT_OBJECT = 12001;  // accepted socket object not allocated
inline constexpr int KVNET_ERR_LOCAL_INFO = 16001;     // no memory for the local host information
inline constexpr int KVNET_ERR_CHANNEL = 16002;        // a channel cannot be allocated
inline constexpr int KVNET_ERR_LISTENER = 16003;       // the listener thread cannot be created
inline constexpr int KVNET_ERR_SERVICE = 16004;        // a service thread cannot be created
inline constexpr int KVNET_ERR_WAIT_ENDED = 16005;     // waiting for clients has ended
inline constexpr int KVNET_ERR_SOCKET_OBJECT = 16006;  // listening or local socket not allocated
inline constexpr int KVNET_ERR_NO_HOST = 16007;        // the host runtime is not loaded
inline constexpr int KVNET_ERR_OLD_WINSOCK = 18001;    // socket service older than 1.1
inline constexpr int KVNET_ERR_FEW_SOCKETS = 18002;    // fewer than 10 sockets offered

// Largest count one nSend passes to the platform.
inline constexpr long KVNET_MAX_SEND = 65530;
// Mode of a scrambled socket.
inline constexpr long KVNET_MODE_SCRAMBLED = 1;

class clCHANNEL;
// A client's service function: run by clCLIENT::Service with the request.
typedef void (*KVNET_CLIENT_SERVICE)(clCHANNEL* channel, unsigned long request);
// A server's service function: run in a thread of its own per client; the
// thread destroys the channel when the function returns.
typedef void (*KVNET_SERVER_SERVICE)(clCHANNEL* channel);

// One IPv4 stream socket.
class KV_EXPORT clSOCKET {
 public:
  explicit clSOCKET(long mode);
  ~clSOCKET();
  // Copies the mode and the counter and takes a duplicate of the other's
  // platform socket, so that each object closes only its own.
  clSOCKET& operator=(const clSOCKET& other);
  clSOCKET(const clSOCKET&) = delete;

  int nCreate();
  int nBind(kvp::sockaddr_in* address);
  int nListen();
  clSOCKET* pclAccept();
  // Connects within `timeout` milliseconds; a negative limit waits as long
  // as the platform's own connect does.
  int nConnect(const kvp::sockaddr_in* address, long timeout);
  int nSend(const char* data, long length);
  long lRecv(char* data, long length);
  int nClose();
  int nGetLastError();
  // Shuts both directions down without closing: a thread blocked in accept
  // or recv on this socket returns. 0 or -1.
  int nShutdown();
  // The platform socket (all ones when none is open), for the platform's
  // own calls (select, socket options).
  unsigned int GetSocket() const { return m_socket; }

 private:
  friend class clSERVER;
  clSOCKET(unsigned int socket, long mode);
  void SetLastError();
  void Crypte(char* out, const char* in, long length);

  uint32_t m_socket;
  int32_t m_counter;
  uint32_t m_lastError;
  int32_t m_mode;
};

// What a client or a server knows of its own end.
class KV_EXPORT clCONNECTED {
 public:
  long nInit();
  char* pszGetLocalName(char* buffer);
  char* pszGetIPAddress(char* buffer);
  long nGetLastError();

 protected:
  explicit clCONNECTED(unsigned int port);
  ~clCONNECTED();
  clCONNECTED& operator=(const clCONNECTED& other);
  clCONNECTED(const clCONNECTED&) = delete;

  long nSetLocalInfo();
  void SetLocalSocketAddress();
  void SetLastError();
  void FreeLocalInfo();

  uint32_t m_lastError;
  kvp::sockaddr_in m_localAddress;
  char* m_localName;
  int16_t m_addressType;
  int16_t m_addressLength;
  char** m_addressList;
  clSOCKET* m_socket;
  uint32_t m_port;
};

// A connection as a service function sees it; owns its socket.
class KV_EXPORT clCHANNEL {
 public:
  explicit clCHANNEL(clSOCKET* socket);
  ~clCHANNEL();
  // Takes a copy of the other's socket (see clSOCKET::operator=).
  clCHANNEL& operator=(const clCHANNEL& other);
  clCHANNEL(const clCHANNEL&) = delete;

  long lSend(const char* data, long length);
  long lRecv(char* data, long length);
  // Sends all `length` bytes, in as many sends as the platform needs;
  // `length` or -1.
  long lSendAll(const char* data, long length);

  // A long or unsigned long that does not fit the 4 bytes it travels in is
  // refused (-1, 10022) rather than cut.
  int operator<<(unsigned char value);
  int operator<<(unsigned short value);
  int operator<<(unsigned long value);
  int operator<<(short value);
  int operator<<(long value);
  int operator<<(float value);
  int operator<<(double value);
  int operator<<(long double value);
  int operator>>(unsigned char& value);
  int operator>>(unsigned short& value);
  int operator>>(unsigned long& value);
  int operator>>(short& value);
  int operator>>(long& value);
  int operator>>(float& value);
  int operator>>(double& value);
  int operator>>(long double& value);

  int nGetLastError();
  // The channel's socket, for a server that must shut a session down from
  // another thread (the channel keeps owning it).
  clSOCKET* pclGetSocket() const { return m_socket; }

 private:
  int SendValue(const unsigned char* bytes, long length);
  int RecvValue(unsigned char* bytes, long length);

  clSOCKET* m_socket;
  uint32_t m_lastError;
};

// The client end: connects (to one address, or the first that answers in a
// range) and runs its service function on the connection.
class KV_EXPORT clCLIENT : public clCONNECTED {
 public:
  clCLIENT(KVNET_CLIENT_SERVICE service, const char* serverAddress, long timeout, unsigned int port,
           const char* userName, const char* password, long mode);
  ~clCLIENT();
  // Copies the settings; the connection stays the target's own.
  clCLIENT& operator=(const clCLIENT& other);
  clCLIENT(const clCLIENT&) = delete;

  // `address` null takes the client's own server address. After a scan the
  // text is rewritten to the address that answered when that fits in the
  // text as given (the client's own server address always receives it).
  int nConnect(char* address, long timeout, int checkHost);
  void Service(unsigned long request);
  int nDisconnect();
  void SetUserCtx(void* context);
  void* pGetUserCtx();

  clCHANNEL* pclGetChannel();
  const char* pszGetServerAddress();
  const char* pszGetUserName();
  const char* pszGetPassword();

 private:
  bool bTranslateAddr(char* text, unsigned long room);
  int ScanAdrIP(char* text, unsigned long room, kvp::sockaddr_in* server, long timeout);
  int nMultiScan(char* text, unsigned long room, kvp::sockaddr_in* server, long timeout);
  int nMultiConnecte(kvp::sockaddr_in* server, long timeout);
  void IncrementeAdresse(kvp::sockaddr_in* server, int step);
  int nResetSocket();
  void DropConnection();

  clCHANNEL* m_channel;
  KVNET_CLIENT_SERVICE m_service;
  char m_userName[32];
  char m_password[16];
  char m_serverAddress[256];
  int32_t m_timeout;
  int32_t m_mode;
  void* m_userContext;
};

// The server end: a listener thread accepts clients and starts the service
// function in a thread of its own for each.
class KV_EXPORT clSERVER : public clCONNECTED {
 public:
  clSERVER(KVNET_SERVER_SERVICE service, unsigned int port, long mode);
  // Stops a server still running first.
  ~clSERVER();
  // Copies the settings; a running listener stays the target's own.
  clSERVER& operator=(const clSERVER& other);
  clSERVER(const clSERVER&) = delete;

  int nStart();
  int nStop();

 private:
  KVNET_SERVER_SERVICE m_service;
  void* m_listenerThread;
  int32_t m_mode;
};

KV_API int KV_CALL nInitWinSock(void);
KV_API int KV_CALL nEndWinSock(void);
KV_API int KV_CALL hLoadWinSock(void);
KV_API void KV_CALL FreeWinSock(void);
// `buffer` holds at least 16 bytes.
KV_API char* KV_CALL pszAdresseIP(char* buffer, const char* hostName, int index);
KV_API char* KV_CALL pszAdresseIPLocale(char* buffer, int index);
// `buffer` holds at least 256 bytes.
KV_API char* KV_CALL pszNomLocal(char* buffer);
// `buffer` holds at least 128 bytes; the text is in Windows-1252.
KV_API char* KV_CALL szTranslateError(char* buffer, int code);
KV_API void KV_CALL DisplayLastError(void* window, const char* caption);
