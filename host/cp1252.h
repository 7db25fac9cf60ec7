// Texts in the libraries are Windows-1252; people's terminals are UTF-8.
#pragma once
#include <string>

namespace kvhost {

// Converts Windows-1252 bytes to UTF-8 (the five unassigned bytes become
// U+FFFD).
std::string Cp1252ToUtf8(const std::string& text);

}  // namespace kvhost
