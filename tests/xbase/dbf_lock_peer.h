// Another program on the same files: a child process with an engine of its
// own that runs the calls the test sends it (locks, records, index, memo and
// build work: peer_protocol.h), one at a time, and answers each with the
// status code and what the call gave. Every step is a request and its
// answer over two pipes, so the test never sleeps or waits on timing.
//
// The child closes every descriptor it inherited (except its two pipes): the
// parent's open files would otherwise stay open in the child, and with them
// the parent's locks, after the parent closes them.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/xbase/peer_work.h"

#ifdef _WIN32
// The peer is a Windows process there (started with CreateProcess).
#include "tests/windows/lock_peer_process.h"
#else
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
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

  bool Post(const PeerRequest& q) { return pid_ > 0 && WriteAll(to_, &q, sizeof q); }
  bool Collect(PeerReply& a) { return pid_ > 0 && ReadAll(from_, &a, sizeof a); }
  // The reply is there (or the peer is gone): Collect does not wait.
  bool Ready() {
    pollfd p{from_, POLLIN, 0};
    return pid_ <= 0 || ::poll(&p, 1, 0) != 0;
  }

  // Ends the peer the hard way: the kernel closes its files. True if the
  // kill ended it (it had not ended by itself).
  bool Kill() {
    if (pid_ > 0) ::kill(pid_, SIGKILL);
    return Wait() == SIGKILL;
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

  class FdChannel : public PeerChannel {
   public:
    FdChannel(int in, int out) : in_(in), out_(out) {}
    bool Receive(PeerRequest& q) override { return ReadAll(in_, &q, sizeof q); }
    bool Send(const PeerReply& a) override { return WriteAll(out_, &a, sizeof a); }

   private:
    int in_;
    int out_;
  };

  [[noreturn]] static void Serve(int in, int out) {
    FdChannel channel(in, out);
    ::_exit(ServePeer(channel, AppendRaw));
  }

  // The signal that ended the peer, 0 if none did.
  int Wait() {
    int status = 0;
    const bool waited = pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_;
    pid_ = -1;
    return waited && WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }

  pid_t pid_ = -1;
  int to_ = -1;
  int from_ = -1;
};

}  // namespace kvtest
#endif
