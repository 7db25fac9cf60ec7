#include "tests/platform_ui_gtk_dialogs/desktop_driver.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace gtk_dialogs_test {

bool RequireTool(const char* tool) {
  const std::string probe = std::string("command -v ") + tool + " >/dev/null 2>&1";
  if (std::system(probe.c_str()) == 0) return true;
  ADD_FAILURE() << tool << " is not installed (scripts/install-deps.sh installs it)";
  return false;
}

Desktop::Desktop(const std::string& script) {
  std::string body = "set -e\n" + script;
  char shell[] = "/bin/sh";
  char flag[] = "-c";
  char* argv[] = {shell, flag, body.data(), nullptr};
  if (posix_spawn(&pid_, "/bin/sh", nullptr, nullptr, argv, environ) != 0) {
    pid_ = -1;
    ADD_FAILURE() << "cannot start /bin/sh";
  }
}

Desktop::~Desktop() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

int Desktop::Wait(double seconds) {
  if (pid_ <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (true) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

int Desktop::Poll() {
  if (pid_ <= 0) return -1;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) != pid_) return -1;
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

std::string FindWindow(const std::string& title, int seconds) {
  // The title is matched as a whole; the tests' titles hold no regular
  // expression characters.
  return "w=$(timeout " + std::to_string(seconds) +
         " xdotool search --sync --onlyvisible --name '^" + title +
         "$' | head -n 1)\n"
         "test -n \"$w\"\n";
}

bool WaitGone(const std::string& title, double seconds) {
  Desktop watch("for i in $(seq " + std::to_string(static_cast<int>(seconds * 10)) +
                "); do\n"
                "  [ -z \"$(xdotool search --onlyvisible --name '^" +
                title +
                "$' 2>/dev/null)\" ] && exit 0\n"
                "  sleep 0.1\n"
                "done\n"
                "exit 1\n");
  return watch.Wait(seconds + 5) == 0;
}

std::string TypeKeys(const std::string& keys) {
  // Under load a dialog just mapped may not take keys yet, and keys it did
  // not take leave it waiting for ever: they are typed again (four times at
  // most) while the window is still there two seconds later.
  return "for try in 1 2 3 4; do\n"
         "  xdotool windowfocus --sync \"$w\" sleep 0.25 key --clearmodifiers --delay 60 " +
         keys +
         "\n"
         "  for i in $(seq 20); do\n"
         "    xdotool getwindowname \"$w\" >/dev/null 2>&1 || exit 0\n"
         "    sleep 0.1\n"
         "  done\n"
         "done\n"
         "exit 1\n";
}

long DifferingPixels(const std::string& reference, const std::string& picture) {
  const std::string command =
      "compare -metric AE -fuzz 10% '" + reference + "' '" + picture + "' null: 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char line[256] = {};
  const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
  const int status = pclose(pipe);
  // compare exits with 0 (alike) or 1 (different) after printing the count.
  if (!read || !WIFEXITED(status) || WEXITSTATUS(status) > 1) return -1;
  char* end = nullptr;
  const double count = std::strtod(line, &end);
  return end == line ? -1 : static_cast<long>(count);
}

}  // namespace gtk_dialogs_test
