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
