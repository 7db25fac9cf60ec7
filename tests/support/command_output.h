// Runs a command line and collects its output, for the tests that have
// independent programs (Perl's DBD-XBase, TDbf, Python readers) read the
// files we write.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

namespace kvtest {

// The output lines of `command` without their line ends. When the command
// does not exit with 0, a last line says so, so that a comparison with the
// expected lines fails and shows why.
inline std::vector<std::string> CommandLines(const std::string& command) {
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {"popen failed: " + command};
  std::vector<std::string> lines;
  char line[1024];
  std::string pending;
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    pending += line;
    if (pending.back() != '\n') continue;  // a line longer than the buffer
    pending.pop_back();
    lines.push_back(pending);
    pending.clear();
  }
  if (!pending.empty()) lines.push_back(pending);
  const int status = pclose(pipe);
  if (status != 0) lines.push_back("command failed with status " + std::to_string(status));
  return lines;
}

// Bytes as lower-case hexadecimal digits, two per byte.
inline std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

}  // namespace kvtest
