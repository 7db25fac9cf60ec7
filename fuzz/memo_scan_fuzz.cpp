// The memo reference scanner and the lock statement builder over arbitrary
// SQL text: every reference found must lie inside the text and start with
// the marker, replacements must keep the text terminated inside its buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kv/odbc.h"
#include "odbc/lock_statement.h"
#include "odbc/memo_scanner.h"

namespace {

std::string optionValue;

std::string ReadFromInput(const char*, const char*, const char* defaultValue) {
  return optionValue.empty() ? defaultValue : optionValue;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t replacementLength = data[0] % 80;
  const size_t slack = data[1];
  const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::string sql = text.substr(0, text.find('\0'));

  void* scanner = OD_KVMS_Alloc();
  const int16_t count = OD_KVMS_Scan(scanner, sql.c_str());
  if (count < 0 || count > kOdbcMaxMemoReferences) std::abort();
  const auto* self = static_cast<const kvodbc::MemoScanner*>(scanner);
  for (int16_t i = 0; i < count; ++i) {
    const kvodbc::MemoReference& r = self->references[i];
    if (r.offset + r.length > sql.size() || r.kind < 0 || r.kind > 3) std::abort();
    if (strncasecmp(sql.c_str() + r.offset, kvodbc::kMemoMarker, 13) != 0) std::abort();
    char name[70];
    int16_t kind = 0;
    if (OD_KVMS_GetMemoInfo(scanner, i, &kind, name, sizeof name) != 1) std::abort();
  }
  std::vector<char> buffer(sql.size() + 1 + slack, '\0');
  std::memcpy(buffer.data(), sql.c_str(), sql.size() + 1);
  const std::string replacement(replacementLength, 'r');
  for (int16_t i = 0; i < count; ++i) {
    OD_KVMS_ReplaceMemo(scanner, i, buffer.data(), replacement.c_str(),
                        static_cast<int32_t>(buffer.size()));
    if (std::memchr(buffer.data(), '\0', buffer.size()) == nullptr) std::abort();
  }
  OD_KVMS_Free(scanner);

  optionValue = sql.substr(0, 64);
  for (int kind = 0; kind <= 3; ++kind)
    for (bool table : {false, true}) kvodbc::BuildLockStatement(kind, sql, table, ReadFromInput);
  return 0;
}
