// Helpers of the platform tests: temporary folders, whole-file reads and
// writes, and forked child processes that hold files while the parent
// tests.
#pragma once
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace kvtest {

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot write " + path);
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

// The file's bytes; "<missing>" when it cannot be opened.
inline std::string ReadWholeFile(const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) return "<missing>";
  std::string bytes;
  char chunk[4096];
  size_t got = 0;
  while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
  fclose(file);
  return bytes;
}

inline bool PathExists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

// A forked child that runs `body`, reports its result (0..255) to the
// parent, then waits until the parent releases it and exits with that
// result. While it waits, whatever `body` opened or locked stays held.
//
// The child first closes every descriptor it inherited (but its two pipe
// ends): an inherited descriptor shares the parent's open file description
// and with it the parent's locks, which would falsify the tests.
class Child {
 public:
  explicit Child(const std::function<int()>& body) {
    int toParent[2];
    int toChild[2];
    if (pipe2(toParent, O_CLOEXEC) != 0 || pipe2(toChild, O_CLOEXEC) != 0) {
      throw std::runtime_error("pipe failed");
    }
    fflush(nullptr);
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      CloseInheritedDescriptors(toParent[1], toChild[0]);
      const unsigned char result = static_cast<unsigned char>(body());
      (void)!write(toParent[1], &result, 1);
      unsigned char go = 0;
      (void)!read(toChild[0], &go, 1);  // returns at Release or when the parent dies
      _exit(result);
    }
    close(toParent[1]);
    close(toChild[0]);
    fromChild_ = toParent[0];
    toChild_ = toChild[1];
  }

  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (fromChild_ >= 0) close(fromChild_);
    if (toChild_ >= 0) close(toChild_);
  }

  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // The body's result, once it has run; -1 when the child died first.
  int WaitReady() {
    unsigned char result = 0;
    ssize_t got;
    do {
      got = read(fromChild_, &result, 1);
    } while (got < 0 && errno == EINTR);
    return got == 1 ? result : -1;
  }

  void Release() {
    if (toChild_ >= 0) close(toChild_);
    toChild_ = -1;
  }

  // Releases the child and returns its exit status (128 + signal when
  // killed).
  int Join() {
    Release();
    int status = 0;
    if (waitpid(pid_, &status, 0) != pid_) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  // Kills the child with `signal` and waits until it is gone (and with it
  // every descriptor it held).
  int KillAndJoin(int signal) {
    kill(pid_, signal);
    return Join();
  }

 private:
  static void CloseInheritedDescriptors(int keepA, int keepB) {
    std::vector<int> open;
    if (DIR* folder = opendir("/proc/self/fd")) {
      while (const struct dirent* entry = readdir(folder)) {
        if (entry->d_name[0] != '.') open.push_back(atoi(entry->d_name));
      }
      closedir(folder);
    }
    for (int fd : open) {
      if (fd > 2 && fd != keepA && fd != keepB) close(fd);
    }
  }

  pid_t pid_ = -1;
  int fromChild_ = -1;
  int toChild_ = -1;
};

// Runs `body` in a child process and returns its result.
inline int RunInChild(const std::function<int()>& body) {
  Child child(body);
  return child.Join();
}

}  // namespace kvtest
