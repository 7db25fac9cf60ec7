#include "host/lock_demo.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace kvhost {
namespace {

constexpr uint16_t kLock = 7;
constexpr uint16_t kUnlock = 6;

// One step of the dialogue between the two processes: a byte down a pipe.
bool Send(int fd) {
  return write(fd, "x", 1) == 1;
}
bool Receive(int fd) {
  char c = 0;
  return read(fd, &c, 1) == 1;
}

// Prints one call and its answers at once, so that the two processes'
// lines come out in the order the steps happen.
void Show(const char* who, const char* call, XBSTATUS status, int16_t lockStatus,
          const char* meaning) {
  std::printf("  %-9s %-26s status %d, lock status %3d  %s\n", who, call, status, lockStatus,
              meaning);
  std::fflush(stdout);
}

const char* Meaning(XBSTATUS status, int16_t lockStatus) {
  if (status != 0) return "(error)";
  return lockStatus == 0 ? "(obtained)" : "(refused: held by the other process)";
}

// The second process: its own engine and its own open of the file.
[[noreturn]] void Contender(const XbaseBinding& xb, const std::string& file, int in, int out) {
  XBHANDLE h = XB_NO_HANDLE;
  if (xb.KV5InitInstance(0, 0) != 1 || xb.XBDDOPENX(&h, file.c_str(), XB_OPEN_SHARED | 1) != 0)
    _exit(2);
  int failures = 0;
  Receive(in);
  int16_t lockStatus = -1;
  XBSTATUS s = xb.XBDDRLOCK(h, 1, kLock, &lockStatus);
  Show("second", "XBDDRLOCK(record 1, 7)", s, lockStatus, Meaning(s, lockStatus));
  if (s != 0 || lockStatus != XB_LOCK_REFUSED) ++failures;
  s = xb.XBDDRGET(h, 1);
  std::printf("  %-9s %-26s status %d  (a locked record still reads)\n", "second",
              "XBDDRGET(record 1)", s);
  std::fflush(stdout);
  Send(out);
  Receive(in);
  s = xb.XBDDRLOCK(h, 1, kLock, &lockStatus);
  Show("second", "XBDDRLOCK(record 1, 7)", s, lockStatus, Meaning(s, lockStatus));
  if (s != 0 || lockStatus != 0) ++failures;
  s = xb.XBDDRLOCK(h, 1, kUnlock, &lockStatus);
  Show("second", "XBDDRLOCK(record 1, 6)", s, lockStatus, "(unlocked)");
  xb.XBDDCLOSE(h);
  xb.XBDTERM();
  Send(out);
  _exit(failures == 0 ? 0 : 1);
}

}  // namespace

int ShowRecordLocks(const XbaseBinding& xb, const std::string& sample) {
  std::error_code error;
  std::string pattern = (std::filesystem::temp_directory_path() / "kvhost-lock-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const std::filesystem::path dir = pattern;
  const std::string file = (dir / "customers.dbf").string();
  std::filesystem::copy_file(sample, file, error);

  std::printf("Two processes contend for record 1 of %s (opened shared by both):\n", file.c_str());
  std::fflush(stdout);
  int toSecond[2];
  int toFirst[2];
  int result = 1;
  if (!error && pipe(toSecond) == 0 && pipe(toFirst) == 0) {
    const pid_t second = fork();
    if (second == 0) {
      close(toSecond[1]);
      close(toFirst[0]);
      Contender(xb, file, toSecond[0], toFirst[1]);
    }
    close(toSecond[0]);
    close(toFirst[1]);
    XBHANDLE h = XB_NO_HANDLE;
    int16_t lockStatus = -1;
    int failures = second < 0 ? 1 : 0;
    if (second > 0 && xb.XBDDOPENX(&h, file.c_str(), XB_OPEN_SHARED | 1) == 0) {
      XBSTATUS s = xb.XBDDRLOCK(h, 1, kLock, &lockStatus);
      Show("first", "XBDDRLOCK(record 1, 7)", s, lockStatus, Meaning(s, lockStatus));
      if (s != 0 || lockStatus != 0) ++failures;
      Send(toSecond[1]);
      Receive(toFirst[0]);
      s = xb.XBDDRLOCK(h, 1, kUnlock, &lockStatus);
      Show("first", "XBDDRLOCK(record 1, 6)", s, lockStatus, "(unlocked)");
      if (s != 0) ++failures;
      Send(toSecond[1]);
      Receive(toFirst[0]);
      xb.XBDDCLOSE(h);
    } else {
      ++failures;
      xb.XBESCODE(0);
    }
    close(toSecond[1]);
    close(toFirst[0]);
    int status = 0;
    if (second > 0 &&
        (waitpid(second, &status, 0) != second || !WIFEXITED(status) || WEXITSTATUS(status) != 0))
      ++failures;
    result = failures == 0 ? 0 : 1;
    std::printf("  record locks: %s\n", result == 0 ? "the second process got the record once "
                                                      "the first let it go"
                                                    : "the steps did not go as expected");
  }
  std::filesystem::remove_all(dir, error);
  return result;
}

}  // namespace kvhost
