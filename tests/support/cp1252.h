// Tests write the library's texts readably in UTF-8 and compare them with
// the Windows-1252 bytes the libraries keep.
#pragma once
#include <iconv.h>

#include <stdexcept>
#include <string>
#include <string_view>

namespace kvtest {

inline std::string Cp1252(std::string_view utf8) {
  iconv_t converter = iconv_open("WINDOWS-1252", "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1))
    throw std::runtime_error("no WINDOWS-1252 in iconv");
  std::string in(utf8);
  std::string out(in.size() + 1, '\0');
  char* inPointer = in.data();
  size_t inLeft = in.size();
  char* outPointer = out.data();
  size_t outLeft = out.size();
  size_t converted = iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft);
  iconv_close(converter);
  if (converted == static_cast<size_t>(-1) || inLeft != 0) {
    throw std::runtime_error("not convertible to Windows-1252: " + in);
  }
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace kvtest
