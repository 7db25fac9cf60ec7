// WinExec over posix_spawnp.
#include "platform/kernel/win_exec.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

extern char** environ;

namespace kvp {

namespace {

std::mutex gChildrenMutex;
std::vector<pid_t> gChildren;

void ReapEnded() {
  for (size_t i = 0; i < gChildren.size();) {
    int status = 0;
    const pid_t done = waitpid(gChildren[i], &status, WNOHANG);
    if (done == gChildren[i] || (done < 0 && errno == ECHILD)) {
      gChildren.erase(gChildren.begin() + static_cast<long>(i));
    } else {
      ++i;
    }
  }
}

std::vector<std::string> SplitWords(const char* line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  bool quoted = false;
  for (const char* p = line; *p != '\0'; ++p) {
    const char c = *p;
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

}  // namespace

UINT WinExec(const char* commandLine, UINT /*show*/) {
  if (commandLine == nullptr) return 0;
  const std::vector<std::string> words = SplitWords(commandLine);
  if (words.empty()) return 0;
  std::vector<char*> argv;
  for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  std::lock_guard<std::mutex> lock(gChildrenMutex);
  ReapEnded();
  pid_t child = 0;
  const int failed = posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ);
  if (failed == ENOENT || failed == ENOTDIR) return 2;
  if (failed == EACCES || failed == EPERM || failed == ENOEXEC) return 5;
  if (failed != 0) return 0;
  gChildren.push_back(child);
  return 33;
}

unsigned WinExecChildren() {
  std::lock_guard<std::mutex> lock(gChildrenMutex);
  ReapEnded();
  return static_cast<unsigned>(gChildren.size());
}

}  // namespace kvp
