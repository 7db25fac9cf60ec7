// nFTPGet and nFTPPut: one thread and one connection per transfer, the
// progress notices, and the joining of every transfer thread before the
// library goes.
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "comm/rpc/client_state.h"
#include "comm/rpc/file_service.h"
#include "comm/rpc/texts.h"
#include "comm/rpc/wire.h"
#include "kv/comm_rpc.h"
#include "platform/kernel/drives.h"
#include "platform/kernel/files.h"
#include "platform/kernel/system.h"
#include "platform/kernel/threads.h"
#include "platform/net/winsock.h"
#include "platform/ui/message_box.h"
#include "platform/ui/messages.h"

namespace kvrpc {

namespace {

constexpr size_t kNameRoom = 512;  // names are cut to 511 characters
constexpr size_t kPiece = 64 * 1024;

struct TransferBlock {
  bool get = true;
  char source[kNameRoom] = {};
  char destination[kNameRoom] = {};
  char address[kNameRoom] = {};
  int32_t step = 0;
  uint32_t message = 0;
  uint32_t port = 0;
  int32_t mode = 0;
  int32_t timeout = 0;
  bool hostCheck = true;
  std::string user;
  std::string password;
};

struct Running {
  kvp::HANDLE thread;
  clCLIENT* connection;  // set while the thread is connected
};

class Transfers {
 public:
  ~Transfers() { StopAll(); }
  void Add(kvp::HANDLE thread) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_running.push_back(Running{thread, nullptr});
  }
  void SetConnection(clCLIENT* connection) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stopping && connection != nullptr) Shut(connection);
    m_byThread.push_back({kvp::GetCurrentThreadId(), connection});
  }
  void ClearConnection() {
    std::lock_guard<std::mutex> lock(m_mutex);
    const kvp::DWORD me = kvp::GetCurrentThreadId();
    m_byThread.erase(std::remove_if(m_byThread.begin(), m_byThread.end(),
                                    [me](const auto& p) { return p.first == me; }),
                     m_byThread.end());
  }
  void Finished() {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_finished;
    m_changed.notify_all();
  }
  // Joins every thread that has ended; with `limit` < 0 waits for all.
  bool Wait(long milliseconds) {
    std::vector<kvp::HANDLE> threads;
    {
      std::unique_lock<std::mutex> lock(m_mutex);
      auto done = [this] { return m_finished >= m_running.size(); };
      if (milliseconds < 0) {
        m_changed.wait(lock, done);
      } else if (!m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), done)) {
        return false;
      }
      for (const Running& r : m_running) threads.push_back(r.thread);
      m_running.clear();
      m_finished = 0;
    }
    for (kvp::HANDLE thread : threads) {
      kvp::WaitForSingleObject(thread, kvp::INFINITE);
      kvp::CloseHandle(thread);
    }
    return true;
  }
  void StopAll() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_stopping = true;
      for (const auto& p : m_byThread) Shut(p.second);
    }
    Wait(-1);
  }

 private:
  static void Shut(clCLIENT* connection) {
    clCHANNEL* channel = connection->pclGetChannel();
    // Through the platform: the socket object belongs to the thread.
    if (channel != nullptr && channel->pclGetSocket() != nullptr)
      kvp::shutdown(channel->pclGetSocket()->GetSocket(), kvp::SD_BOTH);
  }
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<Running> m_running;
  std::vector<std::pair<kvp::DWORD, clCLIENT*>> m_byThread;
  size_t m_finished = 0;
  bool m_stopping = false;
};

std::mutex gObserverMutex;
KVRPC_TRANSFER_OBSERVER gObserver = nullptr;
void* gObserverContext = nullptr;
// Declared after what the threads use, so that it is destroyed (joining
// them) before those are.
Transfers gTransfers;

void Notify(uint32_t message, int64_t done, int64_t total, int finished) {
  std::lock_guard<std::mutex> lock(gObserverMutex);
  if (gObserver != nullptr) gObserver(gObserverContext, message, done, total, finished);
}

// A progress notice goes to every top-level window of the process, as the
// program's windows wait for it, and to the observer.
void ProgressNotice(uint32_t message, int64_t done, int64_t total) {
  kvp::PostMessageA(kvp::HWND_BROADCAST, message, static_cast<kvp::WPARAM>(done),
                    static_cast<kvp::LPARAM>(total));
  Notify(message, done, total, 0);
}

// Notices every total × step / 100 bytes (in 64 bits: 100 MB × 100 does
// not fit 32), at least 4000 bytes apart, and one at the end.
class Progress {
 public:
  Progress(int64_t total, int32_t step, uint32_t message)
      : m_total(total), m_message(message), m_active(step >= 1 && step <= 100) {
    m_interval = std::max<int64_t>(total * step / 100, 4000);
    m_next = m_interval;
  }
  void Advance(int64_t done) {
    if (!m_active) return;
    while (done >= m_next && m_next < m_total) {
      ProgressNotice(m_message, done, m_total);
      m_next += m_interval;
    }
  }
  void End() {
    if (m_active) ProgressNotice(m_message, m_total, m_total);
  }

 private:
  int64_t m_total;
  uint32_t m_message;
  bool m_active;
  int64_t m_interval = 0;
  int64_t m_next = 0;
};

void Show(const char* text, const char* caption) {
  kvp::MessageBoxA(nullptr, text, caption, kvp::MB_OK | kvp::MB_ICONSTOP);
}

void ShowCode(long code, const char* caption) {
  char text[128] = {};
  szTranslateError(text, static_cast<int>(code));
  Show(text, caption);
}

bool ExpectReady(Stream& stream) {
  char text[kTextBlock];
  if (!ReceiveTextBlock(stream, text) || std::strcmp(text, "FILE TRANSFER READY") != 0) {
    Show(kTextNotReady, kCaptionKvFtp);
    return false;
  }
  return true;
}

bool SendSize(Stream& stream, int32_t size) {
  unsigned char bytes[4];
  PutLE(bytes, static_cast<uint32_t>(size), 4);
  return stream.Write(bytes, 4);
}

bool RunGet(Stream& stream, const TransferBlock& b) {
  if (!stream.Write("GET", 4) || !ExpectReady(stream) || !SendTextBlock(stream, b.source))
    return false;
  unsigned char sizeBytes[4];
  if (!stream.Read(sizeBytes, 4)) return false;
  const int32_t size = static_cast<int32_t>(GetLE(sizeBytes, 4));
  if (size < 0) {
    Show(kTextFileUnavailableServer, kCaptionKvFtp);
    return false;
  }
  // Received beside the target and renamed when complete, as the server does.
  const std::string partial = std::string(b.destination) + ".kvpart";
  kvp::HANDLE file = kvp::CreateFileA(partial.c_str(), kvp::GENERIC_WRITE, 0, nullptr,
                                      kvp::CREATE_ALWAYS, kvp::FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == kvp::INVALID_HANDLE_VALUE) {
    Show(kTextOpenFailed, kCaptionKvFtp);
    return false;
  }
  Progress progress(size, b.step, b.message);
  std::vector<unsigned char> piece(kPiece);
  int64_t done = 0;
  bool complete = true;
  while (done < size) {
    const size_t ask = std::min<int64_t>(size - done, int64_t(kPiece));
    kvp::DWORD written = 0;
    if (!stream.Read(piece.data(), ask) ||
        !kvp::WriteFile(file, piece.data(), static_cast<kvp::DWORD>(ask), &written, nullptr) ||
        written != ask) {
      complete = false;
      break;
    }
    done += static_cast<int64_t>(ask);
    progress.Advance(done);
  }
  kvp::CloseHandle(file);
  if (!complete ||
      !kvp::MoveFileExA(partial.c_str(), b.destination, kvp::MOVEFILE_REPLACE_EXISTING)) {
    kvp::DeleteFileA(partial.c_str());
    Show(kTextFileNotReceived, kCaptionKvFtp);
    return false;
  }
  progress.End();
  return SendTextBlock(stream, "FICHIER RECU");
}

bool RunPut(Stream& stream, const TransferBlock& b) {
  if (!stream.Write("PUT", 4) || !ExpectReady(stream) || !SendTextBlock(stream, b.destination))
    return false;
  kvp::HANDLE file = kvp::CreateFileA(b.source, kvp::GENERIC_READ, kvp::FILE_SHARE_READ, nullptr,
                                      kvp::OPEN_EXISTING, kvp::FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == kvp::INVALID_HANDLE_VALUE) {
    Show(kTextOpenFailed, kCaptionFileServer);
    SendSize(stream, -1);
    return false;
  }
  kvp::DWORD high = 0;
  const kvp::DWORD low = kvp::GetFileSize(file, &high);
  if (high != 0 || low > 0x7FFFFFFFu) {
    kvp::CloseHandle(file);
    Show(kTextFileTooLarge, kCaptionKvFtp);
    SendSize(stream, -1);
    return false;
  }
  const int32_t size = static_cast<int32_t>(low);
  bool complete = SendSize(stream, size);
  Progress progress(size, b.step, b.message);
  std::vector<unsigned char> piece(kPiece);
  int64_t done = 0;
  while (complete && done < size) {
    const kvp::DWORD ask = static_cast<kvp::DWORD>(std::min<int64_t>(size - done, int64_t(kPiece)));
    kvp::DWORD got = 0;
    if (!kvp::ReadFile(file, piece.data(), ask, &got, nullptr) || got == 0 ||
        !stream.Write(piece.data(), got)) {
      complete = false;
      break;
    }
    done += got;
    progress.Advance(done);
  }
  kvp::CloseHandle(file);
  char acknowledgement[kTextBlock];
  if (!complete || !ReceiveTextBlock(stream, acknowledgement) ||
      std::strcmp(acknowledgement, "FICHIER RECU") != 0) {
    Show(kTextSendFailed, kCaptionKvFtp);
    return false;
  }
  progress.End();
  return true;
}

kvp::DWORD TransferMain(void* parameter) {
  TransferBlock* b = static_cast<TransferBlock*>(parameter);
  bool ok = false;
  {
    clCLIENT connection(nullptr, b->address, b->timeout, b->port, b->user.c_str(),
                        b->password.c_str(), b->mode);
    if (connection.nInit() != 0) {
      ShowCode(connection.nGetLastError(), kCaptionFtp);
    } else {
      if (connection.nConnect(nullptr, b->timeout, b->hostCheck ? 1 : 0) != 0) {
        ShowCode(connection.nGetLastError(), kCaptionFtp);
      } else {
        gTransfers.SetConnection(&connection);
        ChannelStream stream(connection.pclGetChannel());
        ok = b->get ? RunGet(stream, *b) : RunPut(stream, *b);
        gTransfers.ClearConnection();
      }
      connection.nDisconnect();
    }
  }
  Notify(b->message, 0, 0, ok ? 1 : -1);
  delete b;
  gTransfers.Finished();
  return ok ? 0 : 1;
}

bool StartTransfer(clCLIENT* client, bool get, const char* source, const char* destination,
                   unsigned message, int step) {
  ClientState* state = StateOf(client);
  if (state == nullptr || source == nullptr || destination == nullptr) return false;
  TransferBlock* b = new (std::nothrow) TransferBlock;
  if (b == nullptr) return false;
  b->get = get;
  SetField(b->source, source);
  SetField(b->destination, destination);
  SetField(b->address, state->address.c_str());
  b->step = step;
  b->message = message;
  b->port = state->port;
  b->mode = static_cast<int32_t>(state->mode);
  b->timeout = static_cast<int32_t>(state->timeout);
  b->hostCheck = state->hostCheck;
  b->user = state->user;
  b->password = state->password;
  kvp::HANDLE thread = kvp::CreateThread(nullptr, 0, TransferMain, b, 0, nullptr);
  if (thread == nullptr) {
    delete b;
    Show(kTextThreadFailed, kCaptionFtp);
    return false;
  }
  gTransfers.Add(thread);
  return true;
}

}  // namespace

}  // namespace kvrpc

KV_API int KV_CALL nFTPGet(clCLIENT* client, const char* remoteFile, const char* localFile,
                           unsigned int progressMessage, int progressStep) {
  return kvrpc::StartTransfer(client, true, remoteFile, localFile, progressMessage, progressStep)
             ? 0
             : -1;
}

KV_API int KV_CALL nFTPPut(clCLIENT* client, const char* localFile, const char* remoteFile,
                           unsigned int progressMessage, int progressStep) {
  return kvrpc::StartTransfer(client, false, localFile, remoteFile, progressMessage, progressStep)
             ? 1
             : 0;
}

KV_API void KV_CALL KVRPC_SetTransferObserver(KVRPC_TRANSFER_OBSERVER observer, void* context) {
  std::lock_guard<std::mutex> lock(kvrpc::gObserverMutex);
  kvrpc::gObserver = observer;
  kvrpc::gObserverContext = context;
}

KV_API int KV_CALL KVRPC_WaitTransfers(long milliseconds) {
  return kvrpc::gTransfers.Wait(milliseconds) ? 1 : 0;
}
