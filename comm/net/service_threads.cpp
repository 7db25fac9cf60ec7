// The record of kept service threads: one list for the module, guarded by a
// mutex (listeners of several servers add to it at once).
#include "comm/net/service_threads.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/kernel/files.h"
#include "platform/kernel/threads.h"

namespace kvnet {

namespace {

struct Kept {
  const void* owner;
  kvp::HANDLE thread;
};

std::mutex gMutex;
std::vector<Kept> gThreads;
std::vector<KVNET_SERVER_SERVICE> gKeptServices;

bool Ended(kvp::HANDLE thread) {
  return kvp::WaitForSingleObject(thread, 0) == kvp::WAIT_OBJECT_0;
}

}  // namespace

void KeepServiceThreads(KVNET_SERVER_SERVICE service) {
  std::lock_guard<std::mutex> lock(gMutex);
  if (std::find(gKeptServices.begin(), gKeptServices.end(), service) == gKeptServices.end())
    gKeptServices.push_back(service);
}

bool ServiceThreadsKept(KVNET_SERVER_SERVICE service) {
  std::lock_guard<std::mutex> lock(gMutex);
  return std::find(gKeptServices.begin(), gKeptServices.end(), service) != gKeptServices.end();
}

void AddServiceThread(const void* owner, kvp::HANDLE thread) {
  std::lock_guard<std::mutex> lock(gMutex);
  gThreads.erase(std::remove_if(gThreads.begin(), gThreads.end(),
                                [owner](const Kept& k) {
                                  if (k.owner != owner || !Ended(k.thread)) return false;
                                  kvp::CloseHandle(k.thread);
                                  return true;
                                }),
                 gThreads.end());
  gThreads.push_back(Kept{owner, thread});
}

void HandOverServiceThreads(const void* from, const void* to) {
  std::lock_guard<std::mutex> lock(gMutex);
  for (Kept& k : gThreads)
    if (k.owner == from) k.owner = to;
}

void JoinServiceThreads(const void* owner) {
  std::vector<kvp::HANDLE> mine;
  {
    std::lock_guard<std::mutex> lock(gMutex);
    for (const Kept& k : gThreads)
      if (k.owner == owner) mine.push_back(k.thread);
    gThreads.erase(std::remove_if(gThreads.begin(), gThreads.end(),
                                  [owner](const Kept& k) { return k.owner == owner; }),
                   gThreads.end());
  }
  // Waited for outside the lock: a listener of another server may add its
  // threads meanwhile.
  for (kvp::HANDLE thread : mine) {
    kvp::WaitForSingleObject(thread, kvp::INFINITE);
    kvp::CloseHandle(thread);
  }
}

unsigned ServiceThreadsOf(const void* owner) {
  std::lock_guard<std::mutex> lock(gMutex);
  return static_cast<unsigned>(std::count_if(gThreads.begin(), gThreads.end(),
                                             [owner](const Kept& k) { return k.owner == owner; }));
}

}  // namespace kvnet
