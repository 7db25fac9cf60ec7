// Selecting a data-file handle and finding its fields.
#include "xbase/dbf/data_file.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/select.h"
#include "xbase/frame/text.h"

namespace kv::xb::dbf {

constexpr const char* kModule = "DFVER";

FieldInfo* CheckField(DataFile& file, uint16_t fieldNo) {
  if (fieldNo >= file.fieldCount) {
    XB_FAIL(XB_E_FIELD_NUMBER);
    return nullptr;
  }
  return &file.fields()[fieldNo];
}

int FindField(const DataFile& file, const char* name) {
  for (int i = 0; i < file.fieldCount; ++i) {
    if (EqualNoCase(file.fields()[i].name(), name)) return i;
  }
  return -1;
}

}  // namespace kv::xb::dbf
