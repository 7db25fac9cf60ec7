// Host names and addresses: gethostname, and a gethostbyname whose record
// belongs to the calling thread (the socket classes resolve names from
// several threads at once), with the local-address override for tests.
#include <arpa/inet.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/net/winsock.h"
#include "platform/net/wsa_errors.h"

namespace kvp {

namespace {

// Windows lists at most 35 addresses in a host entry.
constexpr size_t kMaxAddresses = 35;

std::mutex gOverrideMutex;
bool gOverrideSet = false;
std::string gOverride;

// The pinned local addresses: the in-process setting, else KV_LOCAL_ADDRESS;
// empty when neither pins them.
std::string LocalOverride() {
  {
    std::lock_guard<std::mutex> lock(gOverrideMutex);
    if (gOverrideSet) return gOverride;
  }
  const char* variable = ::getenv("KV_LOCAL_ADDRESS");
  return variable != nullptr ? std::string(variable) : std::string();
}

// The storage behind one thread's hostent.
struct HostRecord {
  std::string name;
  std::vector<uint32_t> addresses;  // network order
  std::vector<char*> addressPointers;
  char* aliases[1] = {nullptr};
  hostent entry{};

  hostent* Publish() {
    addressPointers.clear();
    for (uint32_t& address : addresses)
      addressPointers.push_back(reinterpret_cast<char*>(&address));
    addressPointers.push_back(nullptr);
    entry.h_name = name.data();
    entry.h_aliases = aliases;
    entry.h_addrtype = AF_INET_;
    entry.h_length = 4;
    entry.h_addr_list = addressPointers.data();
    return &entry;
  }

  void Add(uint32_t address) {
    if (addresses.size() >= kMaxAddresses) return;
    for (uint32_t known : addresses)
      if (known == address) return;
    addresses.push_back(address);
  }
};

// Parses "a.b.c.d,e.f.g.h" into the record; false when an entry is not a
// dotted address.
bool ParseAddressList(const std::string& list, HostRecord& record) {
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string item = list.substr(start, comma - start);
    while (!item.empty() && item.front() == ' ') item.erase(item.begin());
    while (!item.empty() && item.back() == ' ') item.pop_back();
    ::in_addr address{};
    if (item.empty() || ::inet_pton(AF_INET, item.c_str(), &address) != 1) return false;
    record.Add(address.s_addr);
    start = comma + 1;
  }
  return !record.addresses.empty();
}

}  // namespace

void SetLocalAddressOverride(const char* dottedList) {
  std::lock_guard<std::mutex> lock(gOverrideMutex);
  gOverrideSet = dottedList != nullptr;
  gOverride = dottedList != nullptr ? dottedList : "";
}

int gethostname(char* name, int length) {
  if (WSAStartupCount() == 0) {
    WSASetLastError(WSANOTINITIALISED);
    return SOCKET_ERROR;
  }
  if (name == nullptr || length <= 0) {
    WSASetLastError(WSAEFAULT);
    return SOCKET_ERROR;
  }
  char buffer[256] = {};
  if (::gethostname(buffer, sizeof buffer - 1) != 0) {
    WSASetLastError(detail::WsaErrorFromErrno(errno));
    return SOCKET_ERROR;
  }
  const size_t needed = std::strlen(buffer) + 1;
  if (needed > static_cast<size_t>(length)) {
    WSASetLastError(WSAEFAULT);
    return SOCKET_ERROR;
  }
  std::memcpy(name, buffer, needed);
  return 0;
}

hostent* gethostbyname(const char* name) {
  thread_local HostRecord record;
  if (WSAStartupCount() == 0) {
    WSASetLastError(WSANOTINITIALISED);
    return nullptr;
  }
  if (name == nullptr) {
    WSASetLastError(WSAEFAULT);
    return nullptr;
  }
  record = HostRecord{};
  record.name = name;

  const std::string pinned = LocalOverride();
  if (!pinned.empty()) {
    char local[256] = {};
    if (::gethostname(local, sizeof local - 1) == 0 && ::strcasecmp(local, name) == 0) {
      if (!ParseAddressList(pinned, record)) {
        WSASetLastError(WSANO_RECOVERY);
        return nullptr;
      }
      return record.Publish();
    }
  }

  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* found = nullptr;
  const int code = ::getaddrinfo(name, nullptr, &hints, &found);
  if (code != 0) {
    WSASetLastError(detail::WsaErrorFromResolver(code));
    return nullptr;
  }
  for (const addrinfo* item = found; item != nullptr; item = item->ai_next) {
    if (item->ai_family != AF_INET || item->ai_addr == nullptr) continue;
    ::sockaddr_in address;
    std::memcpy(&address, item->ai_addr, sizeof address);
    record.Add(address.sin_addr.s_addr);
  }
  if (found->ai_canonname != nullptr) record.name = found->ai_canonname;
  ::freeaddrinfo(found);
  if (record.addresses.empty()) {
    WSASetLastError(WSANO_DATA);
    return nullptr;
  }
  return record.Publish();
}

}  // namespace kvp
