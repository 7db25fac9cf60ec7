#include "xbase/index/frame/operation_frame.h"

#include "xbase/frame/endian.h"
#include "xbase/frame/file_layer.h"

namespace kv::xb::index {

XBSTATUS ReadHeaderWords(int fileNo, uint32_t offset, uint32_t* words, int count) {
  uint8_t bytes[16] = {};
  if (count < 1 || count > 4) return XB_E_ARGUMENT;
  XBSTATUS s = os::Seek(fileNo, offset);
  if (s == 0) s = os::Read(fileNo, bytes, static_cast<size_t>(count) * 4);
  if (s != 0) return s;
  for (int i = 0; i < count; ++i) words[i] = GetLE32(bytes + 4 * i);
  return 0;
}

XBSTATUS WriteHeaderWord(int fileNo, uint32_t offset, uint32_t word, bool flush) {
  uint8_t bytes[4];
  PutLE32(bytes, word);
  XBSTATUS s = os::Seek(fileNo, offset);
  if (s == 0) s = os::Write(fileNo, bytes, 4, flush);
  return s;
}

}  // namespace kv::xb::index
