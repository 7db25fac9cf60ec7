// The memo reference scanner: its syntax, kinds, limits and replacements.
#include <string>

#include "kv/odbc.h"
#include "odbc_support.h"

namespace {

struct Scanner {
  void* self = OD_KVMS_Alloc();
  ~Scanner() { OD_KVMS_Free(self); }
  std::string Name(int16_t i, int16_t* kind = nullptr) {
    char name[80] = "unchanged";
    int16_t k = -9;
    if (OD_KVMS_GetMemoInfo(self, i, &k, name, sizeof name) != 1) return "<none>";
    if (kind != nullptr) *kind = k;
    return name;
  }
};

TEST(MemoScanner, KindsAndNames) {
  Scanner s;
  ASSERT_NE(s.self, nullptr);
  const char* sql =
      "insert into t values (KVMemoBinaire(Champ:A), kvmemobinaire( Field : b_2 ),"
      " KVMemoBinaire(ChampTexte:C.1), KVMemoBinaire(TEXTFIELD:D-x), KVMemoBinaire(FichierTexte:E),"
      " KVMemoBinaire(TextFile:F), KVMemoBinaire(Binaire:G), KVMemoBinaire(Fields:H))";
  ASSERT_EQ(OD_KVMS_Scan(s.self, sql), 8);
  const struct {
    const char* name;
    int16_t kind;
  } expected[] = {{"A", 1}, {"b_2", 1}, {"C.1", 3}, {"D-x", 3},
                  {"E", 2}, {"F", 2},   {"G", 0},   {"H", 0}};
  for (int16_t i = 0; i < 8; ++i) {
    int16_t kind = -1;
    EXPECT_EQ(s.Name(i, &kind), expected[i].name);
    EXPECT_EQ(kind, expected[i].kind) << expected[i].name;
  }
  EXPECT_EQ(s.Name(8), "<none>");
  EXPECT_EQ(s.Name(-1), "<none>");
}

TEST(MemoScanner, WhatIsNoReference) {
  Scanner s;
  EXPECT_EQ(OD_KVMS_Scan(s.self, "KVMemoBinaire"), 0);
  EXPECT_EQ(OD_KVMS_Scan(s.self, "KVMemoBinaire(Field:A"), 0);
  EXPECT_EQ(OD_KVMS_Scan(s.self, "KVMemoBinaire(Field:)"), 0);
  EXPECT_EQ(OD_KVMS_Scan(s.self, "KVMemoBinaire(:A)"), 0);
  EXPECT_EQ(OD_KVMS_Scan(s.self, "KVMemoBinaire (Field:A)"), 0);
  EXPECT_EQ(OD_KVMS_Scan(s.self, "KVMemoBinaire(Field:A B)"), 0);
  EXPECT_EQ(OD_KVMS_Scan(s.self, "'KVMemoBinaire(Field:A)' 'it''s KVMemoBinaire(Field:B)'"), 0);
  // A name of 63 characters is one, of 64 none.
  EXPECT_EQ(OD_KVMS_Scan(s.self, ("KVMemoBinaire(Field:" + std::string(63, 'n') + ")").c_str()), 1);
  EXPECT_EQ(OD_KVMS_Scan(s.self, ("KVMemoBinaire(Field:" + std::string(64, 'n') + ")").c_str()), 0);
  EXPECT_EQ(OD_KVMS_Scan(s.self, nullptr), 0);
  EXPECT_EQ(OD_KVMS_Scan(nullptr, "KVMemoBinaire(Field:A)"), 0);
}

TEST(MemoScanner, NamesAreCutToTheHostsBuffer) {
  Scanner s;
  ASSERT_EQ(OD_KVMS_Scan(s.self, "KVMemoBinaire(Field:ABCDEFGH)"), 1);
  char name[4] = "zzz";
  int16_t kind = 0;
  EXPECT_EQ(OD_KVMS_GetMemoInfo(s.self, 0, &kind, name, sizeof name), 1);
  EXPECT_STREQ(name, "ABC");
}

TEST(MemoScanner, AtMost256References) {
  Scanner s;
  std::string sql;
  for (int i = 0; i < 300; ++i) sql += "KVMemoBinaire(Field:M" + std::to_string(i) + "),";
  EXPECT_EQ(OD_KVMS_Scan(s.self, sql.c_str()), kOdbcMaxMemoReferences);
  EXPECT_EQ(s.Name(255), "M255");
  EXPECT_EQ(s.Name(256), "<none>");
}

TEST(MemoScanner, ReplaceShiftsTheLaterReferences) {
  Scanner s;
  char sql[96] = "set a=KVMemoBinaire(Field:A), b=KVMemoBinaire(TextField:B)";
  ASSERT_EQ(OD_KVMS_Scan(s.self, sql), 2);
  EXPECT_EQ(OD_KVMS_ReplaceMemo(s.self, 0, sql, "?", sizeof sql), 1);
  EXPECT_STREQ(sql, "set a=?, b=KVMemoBinaire(TextField:B)");
  EXPECT_EQ(OD_KVMS_ReplaceMemo(s.self, 1, sql, "'a longer text than the reference'", sizeof sql),
            1);
  EXPECT_STREQ(sql, "set a=?, b='a longer text than the reference'");
  // Reference 0 is now the "?" it was replaced by.
  EXPECT_EQ(OD_KVMS_ReplaceMemo(s.self, 0, sql, "NULL", sizeof sql), 1);
  EXPECT_STREQ(sql, "set a=NULL, b='a longer text than the reference'");
}

TEST(MemoScanner, ReplacementThatDoesNotFitChangesNothing) {
  Scanner s;
  char sql[40] = "x=KVMemoBinaire(Field:A)";
  ASSERT_EQ(OD_KVMS_Scan(s.self, sql), 1);
  const std::string before = sql;
  const std::string big(40, 'y');
  EXPECT_EQ(OD_KVMS_ReplaceMemo(s.self, 0, sql, big.c_str(), sizeof sql), 0);
  // "x=" and 38 characters need 41 bytes with the terminator.
  EXPECT_EQ(OD_KVMS_ReplaceMemo(s.self, 0, sql, std::string(38, 'y').c_str(), sizeof sql), 0);
  EXPECT_EQ(OD_KVMS_ReplaceMemo(s.self, 1, sql, "?", sizeof sql), 0);
  EXPECT_EQ(OD_KVMS_ReplaceMemo(s.self, -1, sql, "?", sizeof sql), 0);
  EXPECT_EQ(sql, before);
  // 37 fill the 40 bytes exactly.
  EXPECT_EQ(OD_KVMS_ReplaceMemo(s.self, 0, sql, std::string(37, 'y').c_str(), sizeof sql), 1);
  EXPECT_EQ(std::string(sql), "x=" + std::string(37, 'y'));
}

TEST(MemoScanner, ATextShorterThanTheScanIsRefused) {
  Scanner s;
  ASSERT_EQ(OD_KVMS_Scan(s.self, "a long text with KVMemoBinaire(Field:A)"), 1);
  char other[32] = "short";
  EXPECT_EQ(OD_KVMS_ReplaceMemo(s.self, 0, other, "?", sizeof other), 0);
  EXPECT_STREQ(other, "short");
}

}  // namespace
