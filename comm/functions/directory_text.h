// The directory list as the language shows it, from the list that Dir and
// KVDir write: "\DIRECTORIES" then "\name" per directory, "\FILES" then
// "\name/size" per file.
#pragma once
#include <string>
#include <string_view>

namespace kv::comm {

// The directory names separated by tabs, a carriage return and line feed,
// then the file entries ("name/size") separated by tabs. The empty text for
// a list that does not start with "\DIRECTORIES".
std::string DirectoryText(std::string_view list);

}  // namespace kv::comm
