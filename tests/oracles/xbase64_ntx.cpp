// Writes small NTX files with libxbase64 (Debian's libxbase64-1, whose NTX
// code only works in its 32-bit build) for the NTX fixture tests: a table of
// RECORDS records with one field and an NTX index on it, for a character, a
// numeric and a date field, each with the walk libxbase64 itself makes of
// its index (one line per key, "hex(key)\trecord").
// Built and run by scripts/oracles/make_libxbase64_ntx.sh.
//
//   xbase64_ntx OUTDIR RECORDS
#include <xbase64/xbase64.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Table {
  const char* name;        // file stem
  xbSchema field[2];       // the one field, then the end mark
  const char* expression;  // the key expression
  xbShort unique;
};

std::string Hex(const char* bytes, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// The value of record i (1-based) of each table: a fixed pseudo-random
// sequence so that the files are the same on every run.
std::string Value(const char* table, int i) {
  const unsigned x = static_cast<unsigned>(i) * 2654435761u;
  char text[32];
  if (std::strcmp(table, "amounts") == 0) {
    const int cents = static_cast<int>(x % 200001u) - 100000;
    std::snprintf(text, sizeof text, "%8.2f", cents / 100.0);
  } else if (std::strcmp(table, "dates") == 0) {
    std::snprintf(text, sizeof text, "%04u%02u%02u", 1900 + x % 150u, 1 + (x >> 8) % 12u,
                  1 + (x >> 16) % 28u);
  } else {
    static const char* const names[] = {"SMITH", "JONES",  "MARTIN", "DUPONT", "MULLER",
                                        "ROSSI", "GARCIA", "NOVAK",  "SILVA",  "KOWALSKI"};
    std::snprintf(text, sizeof text, "%s%u", names[x % 10u], (x >> 12) % 7u);
  }
  return text;
}

int Build(xbXBase& x, const std::string& dir, Table& t, int records) {
  xbDbf dbf(&x);
  const std::string dbfName = dir + "/" + t.name + ".dbf";
  const std::string ntxName = dir + "/" + t.name + ".ntx";
  if (dbf.CreateDatabase(dbfName.c_str(), t.field, XB_OVERLAY) != XB_NO_ERROR) return 1;
  xbNtx ntx(&dbf);
  if (ntx.CreateIndex(ntxName.c_str(), t.expression, t.unique, XB_OVERLAY) != XB_NO_ERROR) {
    return 2;
  }
  for (int i = 1; i <= records; ++i) {
    dbf.BlankRecord();
    const std::string v = Value(t.name, i);
    const xbShort put = t.field[0].Type == XB_NUMERIC_FLD
                            ? dbf.PutDoubleField(t.field[0].FieldName, std::atof(v.c_str()))
                            : dbf.PutField(t.field[0].FieldName, v.c_str());
    if (put != XB_NO_ERROR) return 3;
    if (dbf.AppendRecord() != XB_NO_ERROR) return 4;
  }
  const std::string walkName = dir + "/" + t.name + ".walk";
  std::FILE* walk = std::fopen(walkName.c_str(), "w");
  if (walk == nullptr) return 5;
  char key[256];
  for (xbShort s = ntx.GetFirstKey(); s == XB_NO_ERROR; s = ntx.GetNextKey()) {
    std::memset(key, 0, sizeof key);
    ntx.GetCurrentKey(key);
    std::fprintf(walk, "%s\t%ld\n", Hex(key, static_cast<size_t>(t.field[0].FieldLen)).c_str(),
                 static_cast<long>(dbf.GetCurRecNo()));
  }
  std::fclose(walk);
  ntx.CloseIndex();
  dbf.CloseDatabase();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: xbase64_ntx OUTDIR RECORDS\n");
    return 2;
  }
  const std::string dir = argv[1];
  xbXBase x;
  Table tables[] = {
      {"names", {{"NAME", XB_CHAR_FLD, 10, 0}, {"", 0, 0, 0}}, "NAME", XB_NOT_UNIQUE},
      {"amounts", {{"AMOUNT", XB_NUMERIC_FLD, 8, 2}, {"", 0, 0, 0}}, "AMOUNT", XB_NOT_UNIQUE},
      {"dates", {{"BORN", XB_DATE_FLD, 8, 0}, {"", 0, 0, 0}}, "BORN", XB_NOT_UNIQUE},
  };
  // Enough keys for one split (a root over two leaves), and no more: with
  // more keys libxbase64's files come out damaged.
  const int records = std::atoi(argv[2]);
  for (int i = 0; i < 3; ++i) {
    const int rc = Build(x, dir, tables[i], records);
    if (rc != 0) {
      std::fprintf(stderr, "xbase64_ntx: %s failed at step %d\n", tables[i].name, rc);
      return 1;
    }
  }
  return 0;
}
