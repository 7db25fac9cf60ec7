// A pair of pseudo-terminals joined by socat (a real process, started here
// and stopped when the pair goes, also when the test fails): bytes written
// on one end come out of the other. A missing socat fails the test.
#pragma once
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

namespace commtest {

class PtyPair {
 public:
  explicit PtyPair(const std::string& directory)
      : a_(directory + "/pty-a"), b_(directory + "/pty-b") {
    if (::access("/usr/bin/socat", X_OK) != 0) {
      throw std::runtime_error("socat is missing: run scripts/install-deps.sh");
    }
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      const std::string left = "pty,raw,echo=0,link=" + a_;
      const std::string right = "pty,raw,echo=0,link=" + b_;
      ::execl("/usr/bin/socat", "socat", "-b65536", left.c_str(), right.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!(std::filesystem::exists(a_) && std::filesystem::exists(b_))) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        throw std::runtime_error("socat ended before making its terminals");
      }
      if (std::chrono::steady_clock::now() > deadline) {
        Stop();
        throw std::runtime_error("socat made no terminals in 10 s");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~PtyPair() { Stop(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& a() const { return a_; }
  const std::string& b() const { return b_; }

  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  std::string a_, b_;
  pid_t pid_ = -1;
};

// The far end opened directly, raw, for the test to write and read.
class FarEnd {
 public:
  explicit FarEnd(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd_ < 0) throw std::runtime_error("cannot open " + path);
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd_, TCSANOW, &t);
  }
  ~FarEnd() {
    if (fd_ >= 0) ::close(fd_);
  }
  FarEnd(const FarEnd&) = delete;
  FarEnd& operator=(const FarEnd&) = delete;

  void Write(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) throw std::runtime_error("write to the far end failed");
      done += static_cast<size_t>(n);
    }
  }
  // Reads until `count` bytes came or `seconds` passed.
  std::string Read(size_t count, int seconds = 5) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      char buffer[4096];
      ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
      if (n > 0) got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }

 private:
  int fd_ = -1;
};

}  // namespace commtest
