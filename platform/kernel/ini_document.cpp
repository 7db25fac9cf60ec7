// Parsing and editing profile files line by line, so that a write keeps
// every other line (comments, blank lines, other sections) as it was.
#include "platform/kernel/ini_document.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/kernel/ascii.h"
#include "platform/kernel/eintr.h"

namespace kvp::detail {

namespace {

// The name of a section header line, or nothing for another line.
std::optional<std::string_view> SectionOf(std::string_view line) {
  line = TrimBlanks(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  line.remove_prefix(1);
  size_t close = line.find(']');
  return TrimBlanks(close == std::string_view::npos ? line : line.substr(0, close));
}

struct KeyLine {
  std::string_view key;
  std::string_view value;
};

// The key and raw value of a "key=value" line, or nothing (comments,
// headers, blank lines, lines without '=').
std::optional<KeyLine> KeyOf(std::string_view line) {
  std::string_view trimmed = TrimBlanks(line);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') return std::nullopt;
  size_t equals = trimmed.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return KeyLine{TrimBlanks(trimmed.substr(0, equals)), trimmed.substr(equals + 1)};
}

std::string CleanValue(std::string_view raw) {
  std::string_view value = TrimBlanks(raw);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

std::string KeyLineText(std::string_view key, std::string_view value) {
  std::string line(key);
  line += '=';
  line += value;
  return line;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

int IniDocument::Load(const std::string& path) {
  lines_.clear();
  crlf_ = false;
  int fd = RetryOnEintr([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); });
  if (fd < 0) return errno;
  std::string text;
  char chunk[4096];
  for (;;) {
    ssize_t got = RetryOnEintr([&] { return ::read(fd, chunk, sizeof chunk); });
    if (got < 0) {
      int error = errno;
      ::close(fd);
      return error;
    }
    if (got == 0) break;
    text.append(chunk, static_cast<size_t>(got));
  }
  ::close(fd);

  size_t start = 0;
  bool firstEnding = true;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
      if (firstEnding) crlf_ = true;
    }
    if (end < text.size()) firstEnding = false;
    lines_.push_back(std::move(line));
    start = end + 1;
  }
  return 0;
}

std::string IniDocument::Serialize() const {
  std::string text;
  for (const std::string& line : lines_) {
    text += line;
    text += crlf_ ? "\r\n" : "\n";
  }
  return text;
}

std::optional<std::string> IniDocument::Find(std::string_view section, std::string_view key) const {
  section = TrimBlanks(section);
  key = TrimBlanks(key);
  bool inSection = false;
  for (const std::string& line : lines_) {
    if (auto name = SectionOf(line)) {
      inSection = EqualsNoCase(*name, section);
    } else if (inSection) {
      auto entry = KeyOf(line);
      if (entry && EqualsNoCase(entry->key, key)) return CleanValue(entry->value);
    }
  }
  return std::nullopt;
}

std::vector<std::string> IniDocument::Sections() const {
  std::vector<std::string> names;
  for (const std::string& line : lines_) {
    auto name = SectionOf(line);
    if (!name) continue;
    bool seen = false;
    for (const std::string& known : names) seen = seen || EqualsNoCase(known, *name);
    if (!seen) names.emplace_back(*name);
  }
  return names;
}

std::vector<std::string> IniDocument::Keys(std::string_view section) const {
  section = TrimBlanks(section);
  std::vector<std::string> keys;
  bool inSection = false;
  for (const std::string& line : lines_) {
    if (auto name = SectionOf(line)) {
      inSection = EqualsNoCase(*name, section);
    } else if (inSection) {
      if (auto entry = KeyOf(line)) keys.emplace_back(entry->key);
    }
  }
  return keys;
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  section = TrimBlanks(section);
  key = TrimBlanks(key);
  bool inSection = false;
  // Where a new key goes: after the last non-blank line of the first section
  // of that name.
  std::optional<size_t> insertAt;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (auto name = SectionOf(lines_[i])) {
      const bool wasInSection = inSection;
      inSection = EqualsNoCase(*name, section);
      if (wasInSection && !inSection && insertAt) break;
      if (inSection && !insertAt) insertAt = i + 1;
    } else if (inSection) {
      auto entry = KeyOf(lines_[i]);
      if (entry && EqualsNoCase(entry->key, key)) {
        lines_[i] = KeyLineText(key, value);
        return;
      }
      if (!TrimBlanks(lines_[i]).empty()) insertAt = i + 1;
    }
  }
  if (insertAt) {
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*insertAt), KeyLineText(key, value));
    return;
  }
  if (!lines_.empty() && !TrimBlanks(lines_.back()).empty()) lines_.emplace_back();
  lines_.push_back("[" + std::string(section) + "]");
  lines_.push_back(KeyLineText(key, value));
}

bool IniDocument::RemoveKey(std::string_view section, std::string_view key) {
  section = TrimBlanks(section);
  key = TrimBlanks(key);
  bool inSection = false;
  bool removed = false;
  for (size_t i = 0; i < lines_.size();) {
    if (auto name = SectionOf(lines_[i])) {
      inSection = EqualsNoCase(*name, section);
    } else if (inSection) {
      auto entry = KeyOf(lines_[i]);
      if (entry && EqualsNoCase(entry->key, key)) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
        removed = true;
        continue;
      }
    }
    ++i;
  }
  return removed;
}

bool IniDocument::RemoveSection(std::string_view section) {
  section = TrimBlanks(section);
  bool inSection = false;
  bool removed = false;
  std::vector<std::string> kept;
  for (std::string& line : lines_) {
    if (auto name = SectionOf(line)) inSection = EqualsNoCase(*name, section);
    if (inSection) {
      removed = true;
    } else {
      kept.push_back(std::move(line));
    }
  }
  lines_ = std::move(kept);
  return removed;
}

}  // namespace kvp::detail
