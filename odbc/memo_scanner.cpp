#include "odbc/memo_scanner.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/kernel/ascii.h"

namespace kvodbc {

namespace {

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsNameCharacter(char c) {
  return IsLetter(c) || (c >= '0' && c <= '9') || c == '_' || c == '.' || c == '-';
}
bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         kvp::detail::EqualsNoCase(text.substr(0, prefix.size()), prefix);
}
size_t SkipBlanks(std::string_view text, size_t at) {
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  return at;
}

// Reads one reference at `at` (where the marker starts); its length, or 0
// when the text there is no reference.
size_t ReadReference(std::string_view sql, size_t at, MemoReference& out) {
  size_t p = at + std::strlen(kMemoMarker);
  if (p >= sql.size() || sql[p] != '(') return 0;
  p = SkipBlanks(sql, p + 1);
  const size_t wordStart = p;
  while (p < sql.size() && IsLetter(sql[p])) ++p;
  if (p == wordStart) return 0;
  const std::string_view word = sql.substr(wordStart, p - wordStart);
  p = SkipBlanks(sql, p);
  if (p >= sql.size() || sql[p] != ':') return 0;
  p = SkipBlanks(sql, p + 1);
  const size_t nameStart = p;
  while (p < sql.size() && IsNameCharacter(sql[p])) ++p;
  const size_t nameLength = p - nameStart;
  if (nameLength == 0 || nameLength > kMaxMemoName) return 0;
  const size_t nameEnd = p;
  p = SkipBlanks(sql, p);
  if (p >= sql.size() || sql[p] != ')') return 0;
  out.offset = at;
  out.length = p + 1 - at;
  out.kind = MemoKindFromWord(word);
  std::memcpy(out.name, sql.data() + nameStart, nameLength);
  out.name[nameLength] = '\0';
  (void)nameEnd;
  return out.length;
}

}  // namespace

int16_t MemoKindFromWord(std::string_view word) {
  using kvp::detail::EqualsNoCase;
  if (EqualsNoCase(word, "Champ") || EqualsNoCase(word, "Field")) return 1;
  if (EqualsNoCase(word, "ChampTexte") || EqualsNoCase(word, "TextField")) return 3;
  if (EqualsNoCase(word, "FichierTexte") || EqualsNoCase(word, "TextFile")) return 2;
  return 0;
}

int16_t MemoScanner::Scan(std::string_view sql) {
  count = 0;
  bool inLiteral = false;
  for (size_t i = 0; i < sql.size() && count < kOdbcMaxMemoReferences;) {
    if (sql[i] == '\'') {
      inLiteral = !inLiteral;
      ++i;
      continue;
    }
    if (!inLiteral && StartsWithNoCase(sql.substr(i), kMemoMarker)) {
      const size_t length = ReadReference(sql, i, references[count]);
      if (length != 0) {
        ++count;
        i += length;
        continue;
      }
    }
    ++i;
  }
  return count;
}

bool MemoScanner::Replace(int16_t index, char* sql, std::string_view text, size_t bufferSize) {
  if (index < 0 || index >= count || sql == nullptr) return false;
  MemoReference& reference = references[index];
  const size_t length = std::strlen(sql);
  if (reference.offset + reference.length > length) return false;
  const size_t result = length - reference.length + text.size();
  if (result + 1 > bufferSize) return false;
  char* at = sql + reference.offset;
  std::memmove(at + text.size(), at + reference.length,
               length - reference.offset - reference.length + 1);
  std::memcpy(at, text.data(), text.size());
  const ptrdiff_t shift =
      static_cast<ptrdiff_t>(text.size()) - static_cast<ptrdiff_t>(reference.length);
  reference.length = text.size();
  for (int16_t later = static_cast<int16_t>(index + 1); later < count; ++later)
    references[later].offset =
        static_cast<size_t>(static_cast<ptrdiff_t>(references[later].offset) + shift);
  return true;
}

}  // namespace kvodbc

using kvodbc::MemoScanner;

KV_API void* KV_CALL OD_KVMS_Alloc(void) {
  return std::calloc(1, sizeof(MemoScanner));
}

KV_API void KV_CALL OD_KVMS_Free(void* scanner) {
  std::free(scanner);
}

KV_API int16_t KV_CALL OD_KVMS_Scan(void* scanner, const char* sql) {
  if (scanner == nullptr) return 0;
  auto* self = static_cast<MemoScanner*>(scanner);
  if (sql == nullptr) {
    self->count = 0;
    return 0;
  }
  return self->Scan(sql);
}

KV_API int32_t KV_CALL OD_KVMS_GetMemoInfo(void* scanner, int16_t reference, int16_t* kind,
                                           char* name, int16_t nameSize) {
  if (scanner == nullptr) return 0;
  const auto* self = static_cast<const MemoScanner*>(scanner);
  if (reference < 0 || reference >= self->count) return 0;
  const kvodbc::MemoReference& found = self->references[reference];
  if (kind != nullptr) *kind = found.kind;
  if (name != nullptr && nameSize > 0) {
    const size_t copied = std::min(std::strlen(found.name), static_cast<size_t>(nameSize - 1));
    std::memcpy(name, found.name, copied);
    name[copied] = '\0';
  }
  return 1;
}

KV_API int32_t KV_CALL OD_KVMS_ReplaceMemo(void* scanner, int16_t reference, char* sql,
                                           const char* text, int32_t bufferSize) {
  if (scanner == nullptr || text == nullptr || bufferSize <= 0) return 0;
  return static_cast<MemoScanner*>(scanner)->Replace(reference, sql, text,
                                                     static_cast<size_t>(bufferSize))
             ? 1
             : 0;
}
