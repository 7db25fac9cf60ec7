// Memo references in SQL text.
//
// A reference stands where a memo parameter goes:
//   KVMemoBinaire(Kind:Name)
// the marker and the kind word in any case, blanks allowed inside the
// parentheses around the kind, the colon and the name. The name is 1 to 63
// characters among letters, digits, '_', '.' and '-'. Text between single
// quotes (an SQL literal, '' included) is never scanned. Anything else that
// starts with the marker is no reference and stays as it is.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kv/odbc.h"

namespace kvodbc {

inline constexpr char kMemoMarker[] = "KVMemoBinaire";
inline constexpr size_t kMaxMemoName = 63;

// Kinds: 1 "Champ"/"Field", 3 "ChampTexte"/"TextField", 2 "FichierTexte"/
// "TextFile", 0 any other word.
int16_t MemoKindFromWord(std::string_view word);

struct MemoReference {
  size_t offset;  // of the marker in the text
  size_t length;  // of the whole reference, up to the closing parenthesis
  int16_t kind;
  char name[kMaxMemoName + 1];
};

struct MemoScanner {
  int16_t count;
  MemoReference references[kOdbcMaxMemoReferences];

  // Finds the references of `sql` (at most 256; later ones are not
  // counted); returns their number.
  int16_t Scan(std::string_view sql);
  // Replaces reference `index` in the zero-terminated `sql` by `text` when
  // the result, terminator included, fits in `bufferSize`; the later
  // references move with the text.
  bool Replace(int16_t index, char* sql, std::string_view text, size_t bufferSize);
};

}  // namespace kvodbc
