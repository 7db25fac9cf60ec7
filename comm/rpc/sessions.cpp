// Session registry: one entry per running service function.
#include "comm/rpc/sessions.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/net/winsock.h"

namespace kvrpc {

namespace {

struct Entry {
  unsigned port;
  clCHANNEL* channel;
  bool stopping;
};

std::mutex gMutex;
std::condition_variable gChanged;
std::vector<Entry> gEntries;
std::vector<unsigned> gStoppedPorts;  // a session that starts late on them ends at once

unsigned LocalPort(clCHANNEL* channel) {
  clSOCKET* socket = channel->pclGetSocket();
  if (socket == nullptr) return 0;
  kvp::sockaddr_in address{};
  int length = sizeof address;
  if (kvp::getsockname(socket->GetSocket(), &address, &length) != 0) return 0;
  return kvp::ntohs(address.sin_port);
}

// Shuts the session's socket down from another thread: through the platform
// directly, so that nothing of the socket object that its own thread uses is
// written here.
void ShutDown(clCHANNEL* channel) {
  if (clSOCKET* socket = channel->pclGetSocket()) kvp::shutdown(socket->GetSocket(), kvp::SD_BOTH);
}

}  // namespace

SessionEntry::SessionEntry(clCHANNEL* channel) : m_port(LocalPort(channel)), m_channel(channel) {
  std::lock_guard<std::mutex> lock(gMutex);
  const bool stopped =
      std::find(gStoppedPorts.begin(), gStoppedPorts.end(), m_port) != gStoppedPorts.end();
  gEntries.push_back(Entry{m_port, channel, stopped});
  if (stopped) ShutDown(channel);
}

SessionEntry::~SessionEntry() {
  std::lock_guard<std::mutex> lock(gMutex);
  gEntries.erase(std::remove_if(gEntries.begin(), gEntries.end(),
                                [this](const Entry& e) { return e.channel == m_channel; }),
                 gEntries.end());
  gChanged.notify_all();
}

bool SessionEntry::Running() const {
  std::lock_guard<std::mutex> lock(gMutex);
  for (const Entry& e : gEntries)
    if (e.channel == m_channel) return !e.stopping;
  return false;
}

void EndSessions(unsigned port) {
  std::unique_lock<std::mutex> lock(gMutex);
  if (std::find(gStoppedPorts.begin(), gStoppedPorts.end(), port) == gStoppedPorts.end())
    gStoppedPorts.push_back(port);
  // The channel stays valid while its entry exists: the service thread
  // removes the entry before it destroys the channel, and waits for this
  // lock to do so.
  for (Entry& e : gEntries) {
    if (e.port != port || e.stopping) continue;
    e.stopping = true;
    ShutDown(e.channel);
  }
  gChanged.wait(lock, [port] {
    return std::none_of(gEntries.begin(), gEntries.end(),
                        [port](const Entry& e) { return e.port == port; });
  });
}

void AllowSessions(unsigned port) {
  std::lock_guard<std::mutex> lock(gMutex);
  gStoppedPorts.erase(std::remove(gStoppedPorts.begin(), gStoppedPorts.end(), port),
                      gStoppedPorts.end());
}

unsigned LiveSessions() {
  std::lock_guard<std::mutex> lock(gMutex);
  return static_cast<unsigned>(gEntries.size());
}

}  // namespace kvrpc
