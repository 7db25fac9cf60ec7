// The socket service's start and end, and the address helpers.
#include <cstring>

#include "kv/comm_net.h"
#include "platform/net/winsock.h"

namespace {

constexpr int kMinimumSockets = 10;

// Copies address number `index` of `name` into `buffer` in dotted form (at
// most 15 characters), inside a start and end of the socket service.
char* AddressOf(char* buffer, const char* name, int index) {
  if (buffer == nullptr || index < 0) return nullptr;
  if (nInitWinSock() != 0) return nullptr;
  char* result = nullptr;
  const kvp::hostent* entry = name != nullptr ? kvp::gethostbyname(name) : nullptr;
  if (entry != nullptr && entry->h_length == 4) {
    int count = 0;
    while (entry->h_addr_list[count] != nullptr) ++count;
    if (index < count) {
      kvp::in_addr address;
      std::memcpy(&address.s_addr, entry->h_addr_list[index], 4);
      std::strncpy(buffer, kvp::inet_ntoa(address), 15);
      buffer[15] = '\0';
      result = buffer;
    }
  }
  const int lastError = kvp::WSAGetLastError();
  if (nEndWinSock() != 0) return nullptr;
  kvp::WSASetLastError(lastError);
  return result;
}

}  // namespace

int KV_CALL nInitWinSock(void) {
  kvp::WSADATA data;
  const int code = kvp::WSAStartup(kvp::MAKEWORD_(1, 1), &data);
  if (code != 0) return code;
  const int given = (data.wVersion & 0xFF) * 256 + (data.wVersion >> 8);
  int failure = 0;
  if (given < 1 * 256 + 1) {
    failure = KVNET_ERR_OLD_WINSOCK;
  } else if (data.iMaxSockets < kMinimumSockets) {
    failure = KVNET_ERR_FEW_SOCKETS;
  }
  // A refused service is not kept started: the count stays balanced.
  if (failure != 0) kvp::WSACleanup();
  return failure;
}

int KV_CALL nEndWinSock(void) {
  return kvp::WSACleanup();
}

int KV_CALL hLoadWinSock(void) {
  return -1;
}

void KV_CALL FreeWinSock(void) {}

char* KV_CALL pszAdresseIP(char* buffer, const char* hostName, int index) {
  return AddressOf(buffer, hostName, index);
}

char* KV_CALL pszAdresseIPLocale(char* buffer, int index) {
  if (buffer == nullptr) return nullptr;
  if (nInitWinSock() != 0) return nullptr;
  char name[256] = {};
  const bool named = kvp::gethostname(name, sizeof name) == 0;
  if (nEndWinSock() != 0 || !named) return nullptr;
  return AddressOf(buffer, name, index);
}

char* KV_CALL pszNomLocal(char* buffer) {
  if (buffer == nullptr) return nullptr;
  if (nInitWinSock() != 0) return nullptr;
  const bool named = kvp::gethostname(buffer, 256) == 0;
  if (nEndWinSock() != 0 || !named) return nullptr;
  return buffer;
}
