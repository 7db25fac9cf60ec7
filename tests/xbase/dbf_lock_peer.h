// Another program on the same data file: a child process with an engine of
// its own that runs the lock calls the test sends it, one at a time, and
// answers each with the status code and the lock status. Every step is a
// request and its answer over two pipes, so the test never sleeps or waits
// on timing.
//
// The child closes every descriptor it inherited (except its two pipes): the
// parent's open files would otherwise stay open in the child, and with them
// the parent's locks, after the parent closes them.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kv/xbase.h"

namespace kvtest {

// What the test asks of a peer.
enum class PeerOp : int32_t {
  Open,        // path, mode
  Close,       // the open handle
  Lock,        // XBDDLOCK(mode)
  Unlock,      // XBDDUNLOCK(mode)
  RecordLock,  // XBDDRLOCK(record, mode)
  Size,        // XBDDSIZE: the record count in `value`
  Info,        // XBDDINFO: the last lock region's offset in `value`
  Append,      // appends `record` records through the file, see AppendRaw
  Quit,
};

struct PeerRequest {
  PeerOp op = PeerOp::Quit;
  uint16_t mode = 0;
  uint32_t record = 0;
  char path[256] = {};
};

struct PeerReply {
  int16_t status = 0;
  int16_t lockStatus = -1;
  uint32_t value = 0;
};

// A peer's calls, each one request and its reply, on both systems: `Self`
// sends a request and reads the reply in its Ask.
template <typename Self>
class PeerCalls {
 public:
  struct Answer {
    bool ok = false;  // the peer answered
    PeerReply reply;
  };

  Answer Open(const std::string& path, uint16_t mode) { return Send(PeerOp::Open, mode, 0, path); }
  Answer Close() { return Send(PeerOp::Close); }
  Answer Lock(uint16_t mode) { return Send(PeerOp::Lock, mode); }
  Answer Unlock(uint16_t mode) { return Send(PeerOp::Unlock, mode); }
  Answer RecordLock(uint32_t record, uint16_t mode) {
    return Send(PeerOp::RecordLock, mode, record);
  }
  Answer Size() { return Send(PeerOp::Size); }
  Answer LastRegion() { return Send(PeerOp::Info); }
  Answer Append(const std::string& path, uint32_t count) {
    return Send(PeerOp::Append, 0, count, path);
  }

 private:
  Answer Send(PeerOp op, uint16_t mode = 0, uint32_t record = 0, const std::string& path = "") {
    return static_cast<Self*>(this)->Ask(op, mode, record, path);
  }
};

// Carries out one request in the peer, on its one handle; `append` adds raw
// records the way the peer's system writes a file. False after Quit, whose
// reply the caller still sends before it ends.
template <typename AppendRecords>
bool ServePeerRequest(const PeerRequest& q, XBHANDLE& h, PeerReply& a, AppendRecords append) {
  XBESCODE(0);
  switch (q.op) {
    case PeerOp::Open:
      a.status = XBDDOPENX(&h, q.path, q.mode);
      break;
    case PeerOp::Close:
      a.status = XBDDCLOSE(h);
      break;
    case PeerOp::Lock:
      a.status = XBDDLOCK(h, q.mode, &a.lockStatus);
      break;
    case PeerOp::Unlock:
      a.status = XBDDUNLOCK(h, q.mode, &a.lockStatus);
      break;
    case PeerOp::RecordLock:
      a.status = XBDDRLOCK(h, q.record, q.mode, &a.lockStatus);
      break;
    case PeerOp::Size:
      a.status = XBDDSIZE(h, &a.value);
      break;
    case PeerOp::Info: {
      XBFILEINFO info{};
      a.status = XBDDINFO(h, &info);
      a.value = info.lockOffset;
      break;
    }
    case PeerOp::Append:
      a.status = append(q.path, q.record) ? 0 : -1;
      break;
    case PeerOp::Quit:
      XBDTERM();
      return false;
  }
  return true;
}

// What another program appends to a data file whose first 32 bytes are
// `header`: `count` records ('A' characters after a blank deletion flag)
// and the end byte, written at `*at`; then the record count `*count` goes
// to byte 4 as four little-endian bytes (`*countBytes`).
struct RawAppend {
  std::string records;
  uint32_t at = 0;
  uint8_t countBytes[4] = {};
};
inline RawAppend MakeRawAppend(const uint8_t* header, uint32_t count) {
  const uint32_t records = uint32_t{header[4]} | uint32_t{header[5]} << 8 |
                           uint32_t{header[6]} << 16 | uint32_t{header[7]} << 24;
  const uint32_t headerLength = uint32_t{header[8]} | uint32_t{header[9]} << 8;
  const uint32_t recordLength = uint32_t{header[10]} | uint32_t{header[11]} << 8;
  RawAppend out;
  for (uint32_t i = 0; i < count; ++i) {
    out.records += ' ';
    out.records += std::string(recordLength - 1, 'A');
  }
  out.records += '\x1A';
  out.at = headerLength + records * recordLength;
  const uint32_t now = records + count;
  for (int i = 0; i < 4; ++i) out.countBytes[i] = static_cast<uint8_t>(now >> (8 * i));
  return out;
}

}  // namespace kvtest

#ifdef _WIN32
// The peer is a Windows process there (started with CreateProcess).
#include "tests/windows/lock_peer_process.h"
#else
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kvtest {

// Appends `count` records of `recordLength` bytes ('A' characters after a
// blank deletion flag) to a data file the way another program does it: the
// records first, the end byte, then the count in the header.
inline bool AppendRaw(const std::string& path, uint32_t count) {
  const int fd = ::open(path.c_str(), O_RDWR);
  if (fd < 0) return false;
  uint8_t header[32];
  bool ok = ::pread(fd, header, sizeof header, 0) == static_cast<ssize_t>(sizeof header);
  const RawAppend append = MakeRawAppend(header, count);
  const std::string& bytes = append.records;
  ok = ok && ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(append.at)) ==
                 static_cast<ssize_t>(bytes.size());
  ok = ok && ::pwrite(fd, append.countBytes, 4, 4) == 4;
  ::close(fd);
  return ok;
}

class Peer : public PeerCalls<Peer> {
 public:
  Peer() {
    int requests[2];
    int replies[2];
    if (::pipe(requests) != 0 || ::pipe(replies) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(requests[1]);
      ::close(replies[0]);
      CloseInherited(requests[0], replies[1]);
      Serve(requests[0], replies[1]);
    }
    ::close(requests[0]);
    ::close(replies[1]);
    to_ = requests[1];
    from_ = replies[0];
  }
  ~Peer() {
    if (pid_ > 0 && !Ask(PeerOp::Quit).ok) Kill();
    if (pid_ > 0) Wait();
    if (to_ >= 0) ::close(to_);
    if (from_ >= 0) ::close(from_);
  }
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  Answer Ask(PeerOp op, uint16_t mode = 0, uint32_t record = 0, const std::string& path = "") {
    PeerRequest request;
    request.op = op;
    request.mode = mode;
    request.record = record;
    std::snprintf(request.path, sizeof request.path, "%s", path.c_str());
    Answer a;
    if (pid_ <= 0) return a;
    a.ok = WriteAll(to_, &request, sizeof request) && ReadAll(from_, &a.reply, sizeof a.reply);
    return a;
  }

  // Ends the peer the hard way: the kernel closes its files.
  void Kill() {
    if (pid_ > 0) ::kill(pid_, SIGKILL);
    Wait();
  }

 private:
  static bool WriteAll(int fd, const void* data, size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
      const ssize_t n = ::write(fd, p, size);
      if (n <= 0) return false;
      p += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }
  static bool ReadAll(int fd, void* data, size_t size) {
    auto* p = static_cast<char*>(data);
    while (size > 0) {
      const ssize_t n = ::read(fd, p, size);
      if (n <= 0) return false;
      p += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }

  static void CloseInherited(int keep1, int keep2) {
    std::vector<int> open;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
      while (dirent* e = ::readdir(dir)) {
        if (e->d_name[0] != '.') open.push_back(std::atoi(e->d_name));
      }
      ::closedir(dir);
    }
    for (int fd : open) {
      if (fd > 2 && fd != keep1 && fd != keep2) ::close(fd);
    }
  }

  [[noreturn]] static void Serve(int in, int out) {
    if (XBDINIT(100, 4) != 0) ::_exit(2);
    XBHANDLE h = XB_NO_HANDLE;
    PeerRequest q;
    while (ReadAll(in, &q, sizeof q)) {
      PeerReply a;
      if (!ServePeerRequest(q, h, a, AppendRaw)) {
        WriteAll(out, &a, sizeof a);
        ::_exit(0);
      }
      if (!WriteAll(out, &a, sizeof a)) break;
    }
    ::_exit(3);
  }

  void Wait() {
    int status = 0;
    if (pid_ > 0) ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }

  pid_t pid_ = -1;
  int to_ = -1;
  int from_ = -1;
};

}  // namespace kvtest
#endif
