// Internal: the lines of a profile (INI) file and the Windows rules for
// finding and changing sections and keys in them.
//
// A section starts with a line "[name]"; a key is a line "key=value" below
// it; lines starting with ';' and any other lines are kept as they stand.
// Names compare without regard to ASCII case and surrounding blanks.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvp::detail {

class IniDocument {
 public:
  // Reads `path`; returns 0, or the errno (ENOENT for a missing file, which
  // leaves the document empty).
  int Load(const std::string& path);

  // The file's bytes: the lines joined with the line ending the file had
  // ("\n" for a new file).
  std::string Serialize() const;

  // The value of `key` in the first section named `section` that has it:
  // blanks around it trimmed, one pair of surrounding quotes removed.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;

  // Section names in file order, each once.
  std::vector<std::string> Sections() const;

  // Key names of every section named `section`, in file order.
  std::vector<std::string> Keys(std::string_view section) const;

  // Replaces the key's line or adds one (at the end of the section, or in a
  // new section at the end of the file).
  void Set(std::string_view section, std::string_view key, std::string_view value);

  // Remove every line of the key, or every section of that name with its
  // lines; true when something was removed.
  bool RemoveKey(std::string_view section, std::string_view key);
  bool RemoveSection(std::string_view section);

 private:
  std::vector<std::string> lines_;
  bool crlf_ = false;
};

// Blanks (spaces and tabs) removed from both ends.
std::string_view TrimBlanks(std::string_view text);

}  // namespace kvp::detail
