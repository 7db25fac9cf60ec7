// clSERVER: the listening socket, its listener thread and one service
// thread per accepted client.
#include "comm/net/allocation.h"
#include "comm/net/listener.h"
#include "comm/net/service_threads.h"
#include "kv/comm_net.h"
#include "platform/kernel/files.h"
#include "platform/kernel/threads.h"
#include "platform/net/winsock.h"

namespace kvnet {

namespace {

struct ServiceStart {
  clCHANNEL* channel;
  KVNET_SERVER_SERVICE service;
};

// A service thread owns its channel and destroys it when the service ends.
kvp::DWORD ServiceMain(void* parameter) {
  ServiceStart* start = static_cast<ServiceStart*>(parameter);
  start->service(start->channel);
  delete start->channel;
  delete start;
  return 0;
}

}  // namespace

kvp::DWORD ListenerMain(void* parameter) {
  ListenerStart* start = static_cast<ListenerStart*>(parameter);
  kvp::DWORD exitCode = KVNET_ERR_WAIT_ENDED;
  for (;;) {
    clSOCKET* accepted = start->listening->pclAccept();
    if (accepted == nullptr) {
      // 12001 (no object for a client) ends the wait as a failed accept
      // does: the listening socket is left as it was.
      break;
    }
    clCHANNEL* channel = NewOrNull<clCHANNEL>(accepted);
    if (channel == nullptr) {
      delete accepted;
      exitCode = KVNET_ERR_CHANNEL;
      break;
    }
    ServiceStart* service = NewOrNull<ServiceStart>(ServiceStart{channel, start->service});
    kvp::HANDLE thread = service == nullptr
                             ? nullptr
                             : kvp::CreateThread(nullptr, 0, ServiceMain, service, 0, nullptr);
    if (thread == nullptr) {
      delete service;
      delete channel;
      exitCode = KVNET_ERR_SERVICE;
      break;
    }
    // The service thread runs on by itself, unless its service wants to be
    // able to wait for it.
    if (ServiceThreadsKept(start->service))
      AddServiceThread(start->listening, thread);
    else
      kvp::CloseHandle(thread);
  }
  delete start;
  return exitCode;
}

}  // namespace kvnet

clSERVER::clSERVER(KVNET_SERVER_SERVICE service, unsigned int port, long mode)
    : clCONNECTED(port),
      m_service(service),
      m_listenerThread(nullptr),
      m_mode(static_cast<int32_t>(mode)) {}

clSERVER::~clSERVER() {
  if (m_listenerThread != nullptr) nStop();
}

clSERVER& clSERVER::operator=(const clSERVER& other) {
  if (this == &other) return *this;
  clCONNECTED::operator=(other);
  m_service = other.m_service;
  m_mode = other.m_mode;
  return *this;
}

int clSERVER::nStart() {
  if (m_listenerThread != nullptr) {
    m_lastError = kvp::WSAEISCONN;  // already listening
    return -1;
  }
  // The server listens on the local host's first address only: without
  // that address it would bind every interface, so it is read first when
  // nInit has not.
  if (m_addressList == nullptr && nSetLocalInfo() != 0) return -1;
  delete m_socket;
  m_socket = kvnet::NewOrNull<clSOCKET>(static_cast<long>(m_mode));
  if (m_socket == nullptr) {
    m_lastError = KVNET_ERR_SOCKET_OBJECT;
    return -1;
  }
  SetLocalSocketAddress();
  if (m_socket->nCreate() != 0 || m_socket->nBind(&m_localAddress) != 0 ||
      m_socket->nListen() != 0) {
    SetLastError();
    delete m_socket;
    m_socket = nullptr;
    return -1;
  }
  kvnet::ListenerStart* start =
      kvnet::NewOrNull<kvnet::ListenerStart>(kvnet::ListenerStart{m_socket, m_service});
  m_listenerThread = start == nullptr
                         ? nullptr
                         : kvp::CreateThread(nullptr, 0, kvnet::ListenerMain, start, 0, nullptr);
  if (m_listenerThread == nullptr) {
    delete start;
    delete m_socket;
    m_socket = nullptr;
    m_lastError = KVNET_ERR_LISTENER;
    return -1;
  }
  return 0;
}

int clSERVER::nStop() {
  if (m_socket != nullptr) {
    // close() alone does not wake a thread blocked in accept() on Linux:
    // shut the socket down so that the wait ends, join the listener, and
    // only then close, so that the listener never touches a freed socket
    // or a descriptor number already reused.
    m_socket->nShutdown();
  }
  if (m_listenerThread != nullptr) {
    kvp::WaitForSingleObject(m_listenerThread, kvp::INFINITE);
    kvp::CloseHandle(m_listenerThread);
    m_listenerThread = nullptr;
  }
  // Kept service threads were recorded under the listening socket, which
  // goes now: they are the server's from here on.
  if (m_socket != nullptr) kvnet::HandOverServiceThreads(m_socket, this);
  delete m_socket;
  m_socket = nullptr;
  return 0;
}
