// Key sources the builders share: a key expression that is only a field
// name is read straight from the record buffer instead of going through the
// expression evaluator.
#include <cctype>
#include <string>

#include "xbase/build/bulk_build.h"
#include "xbase/dbf/data_file.h"

namespace kv::xb::bulk {

std::optional<FieldSlice> SingleField(XBHANDLE data, const char* expression) {
  if (expression == nullptr) return std::nullopt;
  dbf::DataFile* file = dbf::SelectData(data);
  if (file == nullptr) return std::nullopt;
  // Blanks around the name are allowed (the index families drop blanks from
  // their expressions); anything but name characters makes an expression.
  std::string name;
  bool ended = false;
  for (const char* p = expression; *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == ' ') {
      if (!name.empty()) ended = true;
      continue;
    }
    if (ended || !(std::isalnum(c) || c == '_')) return std::nullopt;
    name.push_back(static_cast<char>(c));
  }
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return std::nullopt;
  const int fieldNo = dbf::FindField(*file, name.c_str());
  if (fieldNo < 0) return std::nullopt;
  const dbf::FieldInfo& field = file->fields()[fieldNo];
  FieldSlice slice;
  slice.offset = field.offset;
  slice.length = field.length;
  slice.type = field.type();
  slice.decimals = field.decimals();
  return slice;
}

const uint8_t* RecordBuffer(XBHANDLE data) {
  dbf::DataFile* file = dbf::SelectData(data);
  return file == nullptr ? nullptr : file->recordBytes();
}

}  // namespace kv::xb::bulk
