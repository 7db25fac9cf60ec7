// The directory list that a remote server sends back for NetListeRep, turned
// into the language's tab-separated text: any bytes the server sends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "comm/functions/directory_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view list(reinterpret_cast<const char*>(data), size);
  const std::string text = kv::comm::DirectoryText(list);
  if (list.substr(0, 12) != "\\DIRECTORIES") {
    if (!text.empty()) std::abort();
    return 0;
  }
  // One line end between the directories and the files, and nothing longer
  // than what came (the separators replace the backslashes one for one, the
  // line end the files' marker).
  if (text.find("\r\n") == std::string::npos) std::abort();
  if (text.size() > list.size() + 2) std::abort();
  return 0;
}
