// clCLIENT: connecting to one address with a retry plan or to the first
// address of a range that answers, and running the service function.
#include <cstring>
#include <string>

#include "comm/net/address_text.h"
#include "comm/net/allocation.h"
#include "kv/comm_net.h"
#include "platform/kernel/system.h"
#include "platform/net/winsock.h"

namespace {

template <size_t N>
void CopyField(char (&field)[N], const char* text) {
  std::strncpy(field, text != nullptr ? text : "", N - 1);
  field[N - 1] = '\0';
}

// The host runtime or its file sibling must be in the process before a
// client that asks for it connects.
bool HostRuntimeLoaded() {
  return kvp::GetModuleHandleA("kvhost.DLL") != nullptr ||
         kvp::GetModuleHandleA("kvhfile.DLL") != nullptr;
}

// The first address of `host` in dotted form, as pszAdresseIP gives it.
std::optional<std::string> ResolveFirst(const std::string& host) {
  char buffer[16] = {};
  if (pszAdresseIP(buffer, host.c_str(), 0) == nullptr) return std::nullopt;
  return std::string(buffer);
}

// Writes `text` into the caller's buffer of `room` bytes when it fits.
void RewriteText(char* target, unsigned long room, const std::string& text) {
  if (target != nullptr && text.size() < room) std::memcpy(target, text.c_str(), text.size() + 1);
}

}  // namespace

clCLIENT::clCLIENT(KVNET_CLIENT_SERVICE service, const char* serverAddress, long timeout,
                   unsigned int port, const char* userName, const char* password, long mode)
    : clCONNECTED(port),
      m_channel(nullptr),
      m_service(service),
      m_timeout(static_cast<int32_t>(timeout)),
      m_mode(static_cast<int32_t>(mode)),
      m_userContext(nullptr) {
  CopyField(m_userName, userName);
  CopyField(m_password, password);
  CopyField(m_serverAddress, serverAddress);
}

clCLIENT::~clCLIENT() {
  DropConnection();
}

clCLIENT& clCLIENT::operator=(const clCLIENT& other) {
  if (this == &other) return *this;
  clCONNECTED::operator=(other);
  m_service = other.m_service;
  std::memcpy(m_userName, other.m_userName, sizeof m_userName);
  std::memcpy(m_password, other.m_password, sizeof m_password);
  std::memcpy(m_serverAddress, other.m_serverAddress, sizeof m_serverAddress);
  m_timeout = other.m_timeout;
  m_mode = other.m_mode;
  m_userContext = other.m_userContext;
  return *this;
}

// Once the channel exists it owns the socket; the base keeps the pointer
// only to read its error.
void clCLIENT::DropConnection() {
  if (m_channel != nullptr) {
    delete m_channel;
    m_channel = nullptr;
    m_socket = nullptr;
  } else {
    delete m_socket;
    m_socket = nullptr;
  }
}

int clCLIENT::nResetSocket() {
  m_socket->nClose();
  if (m_socket->nCreate() != 0) {
    SetLastError();
    return -1;
  }
  return 0;
}

void clCLIENT::IncrementeAdresse(kvp::sockaddr_in* server, int step) {
  server->sin_addr.s_addr = kvnet::StepLastByte(server->sin_addr.s_addr, step);
}

bool clCLIENT::bTranslateAddr(char* text, unsigned long room) {
  std::string work(text);
  switch (kvnet::TranslateAddressText(work, ResolveFirst)) {
    case kvnet::TranslateResult::Unchanged:
      return true;
    case kvnet::TranslateResult::Translated:
      // The translation may be longer than the text: it goes back only into
      // room it has.
      if (work.size() >= room) {
        m_lastError = kvp::WSAEFAULT;
        return false;
      }
      std::memcpy(text, work.c_str(), work.size() + 1);
      return true;
    case kvnet::TranslateResult::UnknownHost:
      m_lastError = static_cast<uint32_t>(kvp::WSAGetLastError());
      if (m_lastError == 0) m_lastError = kvp::WSAHOST_NOT_FOUND;
      return false;
    case kvnet::TranslateResult::Malformed:
      break;
  }
  m_lastError = kvp::WSAEINVAL;
  return false;
}

int clCLIENT::nMultiConnecte(kvp::sockaddr_in* server, long timeout) {
  for (long limit : kvnet::RetryPlan(timeout, false)) {
    if (m_socket->nConnect(server, limit) == 0) return 0;
    const int failure = m_socket->nGetLastError();
    if (nResetSocket() != 0) return -1;
    m_lastError = static_cast<uint32_t>(failure);
  }
  return -1;
}

int clCLIENT::ScanAdrIP(char* text, unsigned long room, kvp::sockaddr_in* server, long timeout) {
  const std::string given(text, strnlen(text, kvnet::kMaxAddressText));
  const std::optional<kvnet::ScanPlan> plan = kvnet::ParseScanText(given);
  if (!plan) {
    m_lastError = kvp::WSAEINVAL;
    return 0;
  }
  for (const kvnet::ByteRange& range : plan->ranges) {
    const std::string first = plan->prefix + "." + std::to_string(range.first);
    const uint32_t address = kvp::inet_addr(first.c_str());
    if (address == kvp::INADDR_NONE_) {
      m_lastError = kvp::WSAEINVAL;
      return 0;
    }
    server->sin_addr.s_addr = address;
    for (int i = 0; i < range.Tries(); ++i) {
      if (m_socket->nConnect(server, timeout) == 0) {
        const std::string answered =
            kvnet::WithLastByte(given, kvnet::LastByte(server->sin_addr.s_addr));
        RewriteText(text, room, answered);
        CopyField(m_serverAddress, answered.c_str());
        return 1;
      }
      const int failure = m_socket->nGetLastError();
      IncrementeAdresse(server, range.Step());
      if (nResetSocket() != 0) return 0;
      m_lastError = static_cast<uint32_t>(failure);
    }
  }
  if (plan->malformedTail) m_lastError = kvp::WSAEINVAL;
  return 0;
}

int clCLIENT::nMultiScan(char* text, unsigned long room, kvp::sockaddr_in* server, long timeout) {
  for (long limit : kvnet::RetryPlan(timeout, true)) {
    if (ScanAdrIP(text, room, server, limit) == 1) return 1;
  }
  return 0;
}

int clCLIENT::nConnect(char* address, long timeout, int checkHost) {
  if (checkHost != 0 && !HostRuntimeLoaded()) {
    m_lastError = KVNET_ERR_NO_HOST;
    return -1;
  }
  // The caller's text, or the client's own; the room of a caller's text is
  // what it holds now, so a rewrite never writes past it.
  char* text = address != nullptr ? address : m_serverAddress;
  const unsigned long room =
      text == m_serverAddress ? sizeof m_serverAddress : std::strlen(text) + 1;
  char work[kvnet::kMaxAddressText + 1];
  CopyField(work, text);

  DropConnection();
  m_socket = kvnet::NewOrNull<clSOCKET>(static_cast<long>(m_mode));
  if (m_socket == nullptr) {
    m_lastError = KVNET_ERR_SOCKET_OBJECT;
    return -1;
  }
  if (m_socket->nCreate() != 0) {
    SetLastError();
    return -1;
  }
  kvp::sockaddr_in server{};
  server.sin_family = kvp::AF_INET_;
  server.sin_port = kvp::htons(static_cast<uint16_t>(m_port));

  if (!bTranslateAddr(work, sizeof work)) return -1;
  if (std::strchr(work, '[') == nullptr) {
    uint32_t resolved = kvp::inet_addr(work);
    if (resolved == kvp::INADDR_NONE_) {
      const kvp::hostent* entry = kvp::gethostbyname(work);
      if (entry == nullptr || entry->h_addr_list[0] == nullptr) {
        m_lastError = static_cast<uint32_t>(kvp::WSAGetLastError());
        return -1;
      }
      std::memcpy(&resolved, entry->h_addr_list[0], 4);
    }
    server.sin_addr.s_addr = resolved;
    if (nMultiConnecte(&server, timeout) != 0) return -1;
  } else {
    if (nMultiScan(work, sizeof work, &server, timeout) != 1) return -1;
    RewriteText(text, room, work);
  }

  m_channel = kvnet::NewOrNull<clCHANNEL>(m_socket);
  if (m_channel == nullptr) {
    m_lastError = KVNET_ERR_CHANNEL;
    return -1;
  }
  return 0;
}

// Without a connection there is nothing to serve: the service function,
// which works on the channel, is not called with none.
void clCLIENT::Service(unsigned long request) {
  if (m_channel == nullptr) {
    m_lastError = kvp::WSAENOTCONN;
    return;
  }
  if (m_service != nullptr) m_service(m_channel, request);
}

int clCLIENT::nDisconnect() {
  DropConnection();
  const int code = nEndWinSock();
  if (code != 0) {
    m_lastError = static_cast<uint32_t>(kvp::WSAGetLastError());
    return -1;
  }
  return 0;
}

void clCLIENT::SetUserCtx(void* context) {
  m_userContext = context;
}

void* clCLIENT::pGetUserCtx() {
  return m_userContext;
}

clCHANNEL* clCLIENT::pclGetChannel() {
  return m_channel;
}

const char* clCLIENT::pszGetServerAddress() {
  return m_serverAddress;
}

const char* clCLIENT::pszGetUserName() {
  return m_userName;
}

const char* clCLIENT::pszGetPassword() {
  return m_password;
}
