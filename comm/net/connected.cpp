// clCONNECTED: the local end's name and first address, and the socket
// service start.
#include <cstring>

#include "comm/net/allocation.h"
#include "kv/comm_net.h"
#include "platform/net/winsock.h"

namespace {

constexpr size_t kTextRoom = 256;  // 255 characters and the zero

void CopyText(char* buffer, const char* text) {
  std::strncpy(buffer, text, kTextRoom - 1);
  buffer[kTextRoom - 1] = '\0';
}

}  // namespace

clCONNECTED::clCONNECTED(unsigned int port)
    : m_lastError(0),
      m_localAddress{},
      m_localName(nullptr),
      m_addressType(0),
      m_addressLength(0),
      m_addressList(nullptr),
      m_socket(nullptr),
      m_port(port) {}

clCONNECTED::~clCONNECTED() {
  FreeLocalInfo();
  delete m_socket;
}

clCONNECTED& clCONNECTED::operator=(const clCONNECTED& other) {
  if (this == &other) return *this;
  FreeLocalInfo();
  m_lastError = other.m_lastError;
  m_localAddress = other.m_localAddress;
  m_addressType = other.m_addressType;
  m_addressLength = other.m_addressLength;
  m_port = other.m_port;
  if (other.m_localName != nullptr && other.m_addressList != nullptr) {
    // Copies of the copies, so that each object frees only its own.
    m_localName = kvnet::NewArrayOrNull<char>(std::strlen(other.m_localName) + 1);
    m_addressList = kvnet::NewArrayOrNull<char*>(2);
    char* address = kvnet::NewArrayOrNull<char>(4);
    if (m_localName == nullptr || m_addressList == nullptr || address == nullptr) {
      delete[] address;
      FreeLocalInfo();
      m_lastError = KVNET_ERR_LOCAL_INFO;
    } else {
      std::strcpy(m_localName, other.m_localName);
      std::memcpy(address, other.m_addressList[0], 4);
      m_addressList[0] = address;
      m_addressList[1] = nullptr;
    }
  }
  // The socket belongs to the connection or the listener, which stay the
  // target's own.
  return *this;
}

void clCONNECTED::FreeLocalInfo() {
  if (m_addressList != nullptr) {
    delete[] m_addressList[0];
    delete[] m_addressList;
    m_addressList = nullptr;
  }
  delete[] m_localName;
  m_localName = nullptr;
}

long clCONNECTED::nInit() {
  const int code = nInitWinSock();
  if (code != 0) {
    m_lastError = static_cast<uint32_t>(code);
    return -1;
  }
  return nSetLocalInfo();
}

long clCONNECTED::nSetLocalInfo() {
  char name[kTextRoom] = {};
  if (kvp::gethostname(name, sizeof name) != 0) {
    m_lastError = static_cast<uint32_t>(kvp::WSAGetLastError());
    return -1;
  }
  const kvp::hostent* entry = kvp::gethostbyname(name);
  if (entry == nullptr || entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr ||
      entry->h_length != 4) {
    m_lastError =
        static_cast<uint32_t>(entry == nullptr ? kvp::WSAGetLastError() : kvp::WSANO_DATA);
    return -1;
  }
  FreeLocalInfo();
  m_localName = kvnet::NewArrayOrNull<char>(std::strlen(name) + 1);
  m_addressList = kvnet::NewArrayOrNull<char*>(2);
  char* address = kvnet::NewArrayOrNull<char>(4);
  if (m_localName == nullptr || m_addressList == nullptr || address == nullptr) {
    delete[] address;
    FreeLocalInfo();
    m_lastError = KVNET_ERR_LOCAL_INFO;
    return -1;
  }
  std::strcpy(m_localName, name);
  std::memcpy(address, entry->h_addr_list[0], 4);
  m_addressList[0] = address;
  m_addressList[1] = nullptr;
  m_addressType = entry->h_addrtype;
  m_addressLength = entry->h_length;
  SetLocalSocketAddress();
  return 0;
}

void clCONNECTED::SetLocalSocketAddress() {
  std::memset(&m_localAddress, 0, sizeof m_localAddress);
  m_localAddress.sin_family = kvp::AF_INET_;
  m_localAddress.sin_port = kvp::htons(static_cast<uint16_t>(m_port));
  if (m_addressList != nullptr && m_addressList[0] != nullptr)
    std::memcpy(&m_localAddress.sin_addr.s_addr, m_addressList[0], 4);
}

void clCONNECTED::SetLastError() {
  if (m_socket != nullptr) m_lastError = static_cast<uint32_t>(m_socket->nGetLastError());
}

long clCONNECTED::nGetLastError() {
  return static_cast<long>(m_lastError);
}

char* clCONNECTED::pszGetLocalName(char* buffer) {
  if (buffer == nullptr) return nullptr;
  if (m_localName == nullptr && nSetLocalInfo() != 0) return nullptr;
  CopyText(buffer, m_localName);
  return buffer;
}

char* clCONNECTED::pszGetIPAddress(char* buffer) {
  if (buffer == nullptr) return nullptr;
  if (m_addressList == nullptr && nSetLocalInfo() != 0) return nullptr;
  kvp::in_addr address;
  std::memcpy(&address.s_addr, m_addressList[0], 4);
  CopyText(buffer, kvp::inet_ntoa(address));
  return buffer;
}
