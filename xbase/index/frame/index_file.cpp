#include "xbase/index/frame/index_file.h"

namespace kv::xb::index {

size_t CompactExpression(const char* in, size_t limit, char* out) {
  size_t n = 0;
  for (size_t i = 0; i < limit && in[i] != '\0'; ++i) {
    if (in[i] == ' ') continue;
    out[n++] = UpperAscii(in[i]);
  }
  out[n] = '\0';
  return n;
}

XBSTATUS CheckCreateNames(const char* kModule, const char* name, const char* expression) {
  if (name == nullptr || expression == nullptr) return XB_FAIL(XB_E_NULL);
  if (name[0] == '\0') return XB_FAIL(XB_E_EMPTY_NAME);
  return 0;
}

XBSTATUS CheckNewIndex(const char* kModule, const char* name, const char* expression,
                       size_t maxLength, char* compact, size_t* length) {
  const XBSTATUS s = CheckCreateNames(kModule, name, expression);
  return s != 0 ? s : CompactNewExpression(kModule, expression, maxLength, compact, length);
}

XBSTATUS StartNewIndex(const char* kModule, const char* name, const char* expression,
                       size_t maxExpression, uint16_t typeWord, uint16_t keyLength, uint16_t maxKey,
                       bool logical, NewIndex* out) {
  const XBSTATUS s =
      CheckNewIndex(kModule, name, expression, maxExpression, out->expression, &out->length);
  if (s != 0) return s;
  const auto [unique, letter] = DecodeCreateType(typeWord);
  out->unique = unique;
  out->letter = letter;
  if (letter == 'C') {
    if (keyLength < 1 || keyLength > maxKey) return XB_FAIL(XB_E_KEY_LENGTH);
    out->keyLength = keyLength;
  } else if (letter == 'D' || letter == 'N') {
    out->keyLength = 8;
  } else if (letter == 'L' && logical) {
    out->keyLength = 1;
  } else {
    return XB_FAIL(XB_E_KEY_TYPE);
  }
  return 0;
}

XBSTATUS CompactNewExpression(const char* kModule, const char* expression, size_t maxLength,
                              char* compact, size_t* length) {
  const size_t raw = std::strlen(expression);
  const size_t n = CompactExpression(expression, raw < 400 ? raw : 400, compact);
  if (n < 1 || n > maxLength || raw >= 400) return XB_FAIL(XB_E_EXPRESSION);
  *length = n;
  return 0;
}

}  // namespace kv::xb::index

namespace kv::xb::index {

XBSTATUS ReadHeaderBytes(const char* kModule, int fileNo, uint64_t offset, uint8_t* into,
                         size_t count) {
  XBSTATUS s = os::Seek(fileNo, offset);
  if (s == 0) s = os::Read(fileNo, into, count);
  return s == XB_E_READ ? XB_FAIL(XB_E_READ) : s;
}

XBSTATUS WriteNewFile(const char* name, const uint8_t* bytes, size_t size) {
  int fileNo = 0;
  XBSTATUS s = os::Create(&fileNo, name);
  if (s != 0) return s;
  s = os::Write(fileNo, bytes, size, true);
  const XBSTATUS closed = os::Close(fileNo);
  if (s != 0) return s;
  if (closed != 0) return closed;
  return Status();
}

}  // namespace kv::xb::index
