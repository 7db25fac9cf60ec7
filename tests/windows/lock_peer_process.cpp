// The Windows peer process of the lock tests (lock_peer_process.h).
#include "tests/xbase/dbf_lock_peer.h"
// (after the tests' headers)
#include "tests/windows/pipe_io.h"  // <windows.h> with its lean macros

namespace kvtest {
namespace {

std::string HelperPath() {
  char self[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string path(self, n);
  const size_t slash = path.find_last_of("\\/");
  return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
         "xbase_lock_peer.exe";
}

}  // namespace

Peer::Peer() {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE childIn = nullptr;
  HANDLE childOut = nullptr;
  if (!CreatePipe(&childIn, &to_, &inherit, 0)) return;
  if (!CreatePipe(&from_, &childOut, &inherit, 0)) {
    CloseHandle(childIn);
    return;
  }
  // Our own ends stay out of the child.
  SetHandleInformation(to_, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(from_, HANDLE_FLAG_INHERIT, 0);

  std::string command = "\"" + HelperPath() + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = childIn;
  startup.hStdOutput = childOut;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info{};
  if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &info)) {
    process_ = info.hProcess;
    pid_ = static_cast<int>(info.dwProcessId);
    CloseHandle(info.hThread);
  }
  CloseHandle(childIn);
  CloseHandle(childOut);
}

Peer::~Peer() {
  if (process_ != nullptr && !Ask(PeerOp::Quit).ok) Kill();
  Wait();
  if (to_ != nullptr) CloseHandle(to_);
  if (from_ != nullptr) CloseHandle(from_);
}

bool Peer::Post(const PeerRequest& q) {
  return process_ != nullptr && WriteAll(&q, sizeof q);
}

bool Peer::Collect(PeerReply& a) {
  return process_ != nullptr && ReadAll(&a, sizeof a);
}

bool Peer::Ready() {
  DWORD waiting = 0;
  if (process_ == nullptr || !PeekNamedPipe(from_, nullptr, 0, nullptr, &waiting, nullptr)) {
    return true;
  }
  return waiting > 0;
}

// The exit code of a terminated process is the one TerminateProcess gives.
constexpr UINT kKilled = 0x4B494C4C;

bool Peer::Kill() {
  const bool running = process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
  if (running) TerminateProcess(process_, kKilled);
  return Wait() == kKilled && running;
}

bool Peer::WriteAll(const void* data, unsigned long size) {
  return WritePipe(to_, data, size);
}

bool Peer::ReadAll(void* data, unsigned long size) {
  return ReadPipe(from_, data, size);
}

unsigned long Peer::Wait() {
  DWORD code = 0;
  if (process_ == nullptr) return code;
  WaitForSingleObject(process_, INFINITE);
  GetExitCodeProcess(process_, &code);
  CloseHandle(process_);
  process_ = nullptr;
  return code;
}

}  // namespace kvtest
