// The part of iconv the tests use (UTF-8 to Windows-1252), for the Windows
// build, where the C library has no iconv: the conversion goes through the
// system's own code-page tables. A character that Windows-1252 lacks fails
// the conversion (no best-fit replacement), as GNU iconv fails it.
#pragma once
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>

extern "C" __declspec(dllimport) int __stdcall MultiByteToWideChar(unsigned codePage,
                                                                   unsigned long flags,
                                                                   const char* text, int length,
                                                                   wchar_t* wide, int wideLength);
extern "C" __declspec(dllimport) int __stdcall WideCharToMultiByte(
    unsigned codePage, unsigned long flags, const wchar_t* wide, int wideLength, char* text,
    int length, const char* defaultChar, int* usedDefault);

using iconv_t = void*;

inline iconv_t iconv_open(const char* to, const char* from) {
  if (std::strcmp(to, "WINDOWS-1252") != 0 || std::strcmp(from, "UTF-8") != 0) {
    errno = EINVAL;
    return reinterpret_cast<iconv_t>(-1);
  }
  static char converter;
  return &converter;
}

inline int iconv_close(iconv_t) {
  return 0;
}

// Converts the whole input at once; -1 with EILSEQ for bytes that are not
// UTF-8 or characters outside Windows-1252, E2BIG when the output is short.
inline size_t iconv(iconv_t, char** in, size_t* inLeft, char** out, size_t* outLeft) {
  constexpr unsigned kUtf8 = 65001, kWindows1252 = 1252;
  constexpr unsigned long kErrorOnInvalid = 0x8, kNoBestFit = 0x400;
  if (*inLeft == 0) return 0;
  const int length = static_cast<int>(*inLeft);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  const int wideLength =
      MultiByteToWideChar(kUtf8, kErrorOnInvalid, *in, length, wide.data(), length);
  if (wideLength <= 0) {
    errno = EILSEQ;
    return static_cast<size_t>(-1);
  }
  std::string narrow(static_cast<size_t>(wideLength), '\0');
  int usedDefault = 0;
  const int narrowLength = WideCharToMultiByte(kWindows1252, kNoBestFit, wide.data(), wideLength,
                                               narrow.data(), wideLength, nullptr, &usedDefault);
  if (narrowLength <= 0 || usedDefault) {
    errno = EILSEQ;
    return static_cast<size_t>(-1);
  }
  if (static_cast<size_t>(narrowLength) > *outLeft) {
    errno = E2BIG;
    return static_cast<size_t>(-1);
  }
  std::memcpy(*out, narrow.data(), static_cast<size_t>(narrowLength));
  *out += narrowLength;
  *outLeft -= static_cast<size_t>(narrowLength);
  *in += *inLeft;
  *inLeft = 0;
  return 0;
}
