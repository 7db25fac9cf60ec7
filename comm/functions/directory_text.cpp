#include "comm/functions/directory_text.h"

#include <vector>

namespace kv::comm {

std::string DirectoryText(std::string_view list) {
  constexpr std::string_view kDirectories = "\\DIRECTORIES";
  if (list.substr(0, kDirectories.size()) != kDirectories) return std::string();
  std::vector<std::string_view> parts;
  size_t at = kDirectories.size();
  while (at < list.size() && list[at] == '\\') {
    const size_t end = list.find('\\', at + 1);
    const size_t stop = end == std::string_view::npos ? list.size() : end;
    parts.push_back(list.substr(at + 1, stop - at - 1));
    at = stop;
  }
  // The marker of the files is the last part that reads "FILES": a file's
  // part always holds its "/size", so a directory of that name comes before.
  size_t marker = parts.size();
  for (size_t i = parts.size(); i-- > 0;) {
    if (parts[i] == "FILES") {
      marker = i;
      break;
    }
  }
  std::string text;
  for (size_t i = 0; i < marker; ++i) {
    if (i > 0) text += '\t';
    text += parts[i];
  }
  text += "\r\n";
  for (size_t i = marker + 1; i < parts.size(); ++i) {
    if (i > marker + 1) text += '\t';
    text += parts[i];
  }
  return text;
}

}  // namespace kv::comm
