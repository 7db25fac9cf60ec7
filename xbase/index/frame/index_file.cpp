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
