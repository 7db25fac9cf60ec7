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

Peer::Answer Peer::Ask(PeerOp op, uint16_t mode, uint32_t record, const std::string& path) {
  PeerRequest request;
  request.op = op;
  request.mode = mode;
  request.record = record;
  std::snprintf(request.path, sizeof request.path, "%s", path.c_str());
  Answer a;
  if (process_ == nullptr) return a;
  a.ok = WriteAll(&request, sizeof request) && ReadAll(&a.reply, sizeof a.reply);
  return a;
}

void Peer::Kill() {
  if (process_ != nullptr) TerminateProcess(process_, 9);
  Wait();
}

bool Peer::WriteAll(const void* data, unsigned long size) {
  return WritePipe(to_, data, size);
}

bool Peer::ReadAll(void* data, unsigned long size) {
  return ReadPipe(from_, data, size);
}

void Peer::Wait() {
  if (process_ == nullptr) return;
  WaitForSingleObject(process_, INFINITE);
  CloseHandle(process_);
  process_ = nullptr;
}

}  // namespace kvtest
