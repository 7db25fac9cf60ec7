// xbase_lock_peer.exe: the other program of the lock tests on Windows (see
// lock_peer_process.h). It starts an engine of its own and runs one request
// from its standard input at a time, answering each on its standard output.
#include "tests/xbase/dbf_lock_peer.h"
// (after the tests' headers)
#include "tests/windows/pipe_io.h"  // <windows.h> with its lean macros

namespace {

HANDLE gIn;
HANDLE gOut;

bool ReadAll(void* data, DWORD size) {
  return kvtest::ReadPipe(gIn, data, size);
}

bool WriteAll(const void* data, DWORD size) {
  return kvtest::WritePipe(gOut, data, size);
}

bool WriteAt(HANDLE file, uint32_t offset, const void* data, DWORD size) {
  OVERLAPPED at{};
  at.Offset = offset;
  DWORD n = 0;
  return WriteFile(file, data, size, &n, &at) && n == size;
}

// Appends `count` records ('A' characters after a blank deletion flag) the
// way another program does it: the records first, the end byte, then the
// count in the header. Opened fully shared, so that only byte-range locks
// (which it does not take) could keep it out.
bool AppendRaw(const char* path, uint32_t count) {
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  uint8_t header[32];
  DWORD got = 0;
  bool ok = ReadFile(file, header, sizeof header, &got, nullptr) && got == sizeof header;
  const kvtest::RawAppend append = kvtest::MakeRawAppend(header, count);
  ok = ok &&
       WriteAt(file, append.at, append.records.data(), static_cast<DWORD>(append.records.size()));
  ok = ok && WriteAt(file, 4, append.countBytes, sizeof append.countBytes);
  CloseHandle(file);
  return ok;
}

class PipeChannel : public kvtest::PeerChannel {
 public:
  bool Receive(kvtest::PeerRequest& q) override { return ReadAll(&q, sizeof q); }
  bool Send(const kvtest::PeerReply& a) override { return WriteAll(&a, sizeof a); }
};

}  // namespace

int main() {
  gIn = GetStdHandle(STD_INPUT_HANDLE);
  gOut = GetStdHandle(STD_OUTPUT_HANDLE);
  PipeChannel channel;
  return kvtest::ServePeer(channel, AppendRaw);
}
