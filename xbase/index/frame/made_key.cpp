#include "xbase/index/frame/made_key.h"

#include <cstring>

#include "xbase/frame/memory_block.h"
#include "xbase/index/frame/numeric_keys.h"

namespace kv::xb::index {

XBSTATUS NewKeyBlock(const char* module, size_t size, KVHGLOBAL* block, uint8_t** bytes) {
  const char* kModule = module;
  const KVHGLOBAL h = kvp::GlobalAlloc(kvp::GHND, size + kSpareBytes);
  if (h == 0) return XB_FAIL(XB_E_MEMORY);
  auto* p = static_cast<uint8_t*>(kvp::GlobalLock(h));
  if (p == nullptr) {
    kvp::GlobalFree(h);
    return XB_FAIL(XB_E_LOCK_MEMORY);
  }
  *block = h;
  *bytes = p;
  return 0;
}

XBSTATUS NewMadeKeyBlock(const char* module, const expr::KeyValue& value, const uint8_t* fixed,
                         size_t size, KVHGLOBAL* block, void** address) {
  const bool text = value.type == 'C';
  KVHGLOBAL h = 0;
  uint8_t* p = nullptr;
  const XBSTATUS s = NewKeyBlock(module, text ? value.text.size() + 1 : size, &h, &p);
  if (s != 0) return s;
  if (text) {
    std::memcpy(p, value.text.data(), value.text.size());
    p[value.text.size()] = 0;
  } else {
    std::memcpy(p, fixed, size);
  }
  *block = h;
  *address = p;
  return 0;
}

XBSTATUS EvaluateBinaryFormKey(const char* module, dbf::DataFile& data, const char* expression,
                               const BinaryKeyForms& forms, expr::KeyValue& value, uint8_t* binary,
                               size_t* size) {
  const char* kModule = module;
  const XBSTATUS s = expr::EvaluateKey(data, expression, &value);
  if (s != 0) return s;
  switch (value.type) {
    case 'C':
      *size = value.text.size() + 1;
      return 0;
    case 'D':
      forms.putDate(binary, DateKeyOf(value.date));
      *size = forms.dateBytes;
      return 0;
    case 'F':
      if (!forms.floats) break;
      [[fallthrough]];
    case 'N':
      forms.putNumber(binary, value.number);
      *size = forms.numberBytes;
      return 0;
    case 'L':
      if (!forms.logicals) break;
      binary[0] = value.text.empty() ? 0 : static_cast<uint8_t>(value.text[0]);
      *size = 1;
      return 0;
    default:
      break;
  }
  return XB_FAIL(XB_E_EXPRESSION);
}

XBSTATUS MakeBinaryFormKey(const char* module, dbf::DataFile& data, const char* expression,
                           const BinaryKeyForms& forms, KVHGLOBAL* block, void** address) {
  expr::KeyValue value;
  uint8_t binary[kMaxBinaryKey] = {};
  size_t size = 0;
  const XBSTATUS s = EvaluateBinaryFormKey(module, data, expression, forms, value, binary, &size);
  if (s != 0) return s;
  return NewMadeKeyBlock(module, value, binary, size, block, address);
}

XBSTATUS GiveNumberKey(const char* kModule, void* key, double value, PutKeyFunction put) {
  if (key == nullptr) return XB_FAIL(XB_E_NULL);
  put(static_cast<uint8_t*>(key), value);
  return Status();
}

XBSTATUS GiveDateKey(const char* kModule, void* key, const char* text, int16_t style,
                     PutKeyFunction put) {
  if (key == nullptr || text == nullptr) return XB_FAIL(XB_E_NULL);
  double day = 0;
  const XBSTATUS s = DateKeyFromText(text, style, &day);
  if (s != 0) return XB_FAIL(s);
  put(static_cast<uint8_t*>(key), day);
  return Status();
}

}  // namespace kv::xb::index
