// Against SQLite through libsqliteodbc: connect strings, the lists, rows as
// lines, long data and memo parameters of every boundary size, Windows-1252
// text, transactions, and the path through SQLSetParam.
#include <unistd.h>

#include "odbc_support.h"

namespace {

class Sqlite : public odbctest::Session {
 protected:
  void SetUp() override {
    Session::SetUp();
    ASSERT_EQ(Connect(odbctest::Info("KvSQLite")), 0) << State() << lastMessage;
    Run("drop table if exists kv_" + Suffix());
  }
  void TearDown() override {
    Run("drop table if exists kv_" + Suffix());
    Session::TearDown();
  }
  // Tests run in parallel processes against one file: each its own table.
  std::string Suffix() { return std::to_string(::getpid()); }
  std::string Table() { return "kv_" + Suffix(); }
};

TEST_F(Sqlite, ConnectStringWithADatabase) {
  // The database in the connect string wins over the data source's file.
  void* other = nullptr;
  const std::string file = std::string(KV_ODBC_DIR) + "/other-" + Suffix() + ".sqlite";
  ConnectionInfo info = odbctest::Info("KvSQLite", "", "", file.c_str());
  ASSERT_EQ(OD_ConnecteODBC(odbc, &info, &other), 0);
  std::string create = "create table only_here (a)";
  void* statement = nullptr;
  ASSERT_EQ(OD_ExecDirect(odbc, other, &statement, create.data(), nullptr), 0);
  OD_LibRequete(odbc, statement);
  EXPECT_EQ(odbctest::TakeText(OD_pszListeTable(odbc, other, 0, 1)), "only_here");
  EXPECT_EQ(OD_Disconnect(odbc, other), 0);
  ::unlink(file.c_str());
  EXPECT_NE(std::string(odbc->driverName).find("sqlite3odbc"), std::string::npos)
      << odbc->driverName;
  EXPECT_EQ(static_cast<int>(odbc->databaseKind), kOdbcKindOther);
}

TEST_F(Sqlite, PlainConnectAndAConnectStringOfThreeParts) {
  void* plain = nullptr;
  ConnectionInfo info = odbctest::Info("KvSQLite", "", "", "", 0);
  EXPECT_EQ(OD_ConnecteODBC(odbc, &info, &plain), 0);
  EXPECT_EQ(OD_Disconnect(odbc, plain), 0);
  info = odbctest::Info("KvSQLite");
  info.plainConnect = 1;
  EXPECT_EQ(OD_ConnecteODBC(odbc, &info, &plain), 0);
  EXPECT_EQ(OD_Disconnect(odbc, plain), 0);
  // An unknown data source: the driver manager's IM002, as a text.
  info = odbctest::Info("NoSuchSource");
  EXPECT_EQ(OD_ConnecteODBC(odbc, &info, &plain), -1);
  char state[kOdbcStateSize] = {};
  char message[kOdbcMessageSize] = {};
  EXPECT_EQ(OD_bInfoGene(odbc, plain, nullptr, state, message), 1);
  EXPECT_STREQ(state, "IM002");
  EXPECT_NE(std::string(message).find("not found"), std::string::npos) << message;
  OD_Disconnect(odbc, plain);
}

TEST_F(Sqlite, FullFieldsDoNotOverrunTheConnectString) {
  // Four fields of 100 characters (the most they hold, and no terminator).
  ConnectionInfo info{};
  std::memset(&info, 'x', sizeof info);
  std::memcpy(info.dataSource, "KvSQLite;", 9);
  info.plainConnect = 0;
  info.mode = kOdbcConnectStringMode;
  void* other = nullptr;
  const int16_t code = OD_ConnecteODBC(odbc, &info, &other);
  // A database file named by 101 'x': the driver opens or refuses it, the
  // library neither reads nor writes past the fields.
  EXPECT_TRUE(code == 0 || code == -1) << code;
  OD_Disconnect(odbc, other);
  ::unlink(std::string(101, 'x').c_str());
}

TEST_F(Sqlite, InfoGeneAfterSuccessIsTheNullState) {
  char state[kOdbcStateSize] = "zzzz";
  char message[kOdbcMessageSize] = "stale";
  EXPECT_EQ(OD_bInfoGene(odbc, connection, nullptr, state, message), 1);
  EXPECT_STREQ(state, "00000");
  EXPECT_STREQ(message, "");
  std::string bad = "select * from no_such_table";
  void* statement = nullptr;
  EXPECT_EQ(OD_ExecDirect(odbc, connection, &statement, bad.data(), nullptr), -1);
  EXPECT_EQ(State(statement), "S1000");  // the ODBC 2 state for a general error
  EXPECT_NE(lastMessage.find("no_such_table"), std::string::npos) << lastMessage;
  OD_LibRequete(odbc, statement);
}

TEST_F(Sqlite, DataSourcesWithTheirSeparator) {
  const std::string list = odbctest::TakeText(OD_pszListeBase(odbc, "|"));
  EXPECT_EQ(list, "KvSQLite|KvPostgres|KvPostgresSpare|KvFake");
  EXPECT_EQ(odbctest::TakeText(OD_pszListeBase(odbc, "\r\n")),
            "KvSQLite\r\nKvPostgres\r\nKvPostgresSpare\r\nKvFake");
  // At most three characters of separator.
  EXPECT_EQ(odbctest::TakeText(OD_pszListeBase(odbc, "<--->")),
            "KvSQLite<--KvPostgres<--KvPostgresSpare<--KvFake");
  EXPECT_EQ(odbctest::TakeText(OD_pszListeBase(odbc, "")),
            "KvSQLiteKvPostgresKvPostgresSpareKvFake");
}

TEST_F(Sqlite, TablesAndViews) {
  Run("create table " + Table() + " (id integer, name varchar(20))");
  Run("create view " + Table() + "_v as select id from " + Table());
  const std::string plain = odbctest::TakeText(OD_pszListeTable(odbc, connection, 0, 1));
  EXPECT_NE(plain.find(Table() + "\r\n" + Table() + "_v"), std::string::npos) << plain;
  EXPECT_NE(plain.back(), '\n');
  const std::string full = odbctest::TakeText(OD_pszListeTable(odbc, connection, 1, 0));
  EXPECT_NE(full.find(Table() + "\t\t\tTABLE"), std::string::npos) << full;
  EXPECT_NE(full.find(Table() + "_v\t\t\tVIEW"), std::string::npos) << full;
  Run("drop view " + Table() + "_v");
}

TEST_F(Sqlite, ListsKeepTheSizeRulesOfGlobalBlocks) {
  // An empty list is a block of the smallest size.
  char* empty = OD_pszTypeBase(nullptr, nullptr);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(kvp::GlobalSize(kvp::GlobalHandle(empty)), 16u);
  odbctest::TakeText(empty);
  // Tables whose names pass 65520 bytes together: the list fails instead of
  // being cut.
  const std::string file = std::string(KV_ODBC_DIR) + "/many-" + Suffix() + ".sqlite";
  ConnectionInfo info = odbctest::Info("KvSQLite", "", "", file.c_str());
  void* other = nullptr;
  ASSERT_EQ(OD_ConnecteODBC(odbc, &info, &other), 0);
  auto run = [&](std::string sql) {
    void* statement = nullptr;
    EXPECT_GE(OD_ExecDirect(odbc, other, &statement, sql.data(), nullptr), 0) << sql;
    OD_LibRequete(odbc, statement);
  };
  run("begin");
  const std::string stem(76, 't');
  for (int i = 0; i < 820; ++i) run("create table " + stem + std::to_string(1000 + i) + " (a)");
  run("commit");
  // 820 names of 80 characters and their separators: 67,238 bytes.
  EXPECT_EQ(OD_pszListeTable(odbc, other, 0, 1), nullptr);
  run("begin");
  for (int i = 30; i < 820; ++i) run("drop table " + stem + std::to_string(1000 + i));
  run("commit");
  const std::string list = odbctest::TakeText(OD_pszListeTable(odbc, other, 0, 1));
  EXPECT_EQ(list.size(), 30u * 80 + 29 * 2);
  EXPECT_EQ(list.substr(0, 82), stem + "1000\r\n");
  EXPECT_EQ(OD_Disconnect(odbc, other), 0);
  ::unlink(file.c_str());
}

TEST_F(Sqlite, DataTypesNumberedPlusEight) {
  const std::string types = odbctest::TakeText(OD_pszTypeBase(odbc, connection));
  ASSERT_GE(types.size(), 2u);
  EXPECT_EQ(types.substr(types.size() - 2), "\r\n");
  // sqliteodbc lists "bit" as SQL_BIT (-7) and "char" as SQL_CHAR (1).
  EXPECT_NE(types.find("bit\t1\r\n"), std::string::npos) << types;
  EXPECT_NE(types.find("char\t9\r\n"), std::string::npos) << types;
  EXPECT_NE(types.find("integer\t12\r\n"), std::string::npos) << types;
}

TEST_F(Sqlite, ColumnsOfATable) {
  Run("create table " + Table() +
      " (id integer not null, name varchar(20), born date, notes text)");
  char* text = nullptr;
  EXPECT_EQ(OD_GetColonnes(odbc, connection, Table().c_str(), 0, &text, 0), 0);
  EXPECT_EQ(odbctest::TakeText(text), "id\r\nname\r\nborn\r\nnotes");
  EXPECT_EQ(OD_GetColonnes(odbc, connection, Table().c_str(), 1, &text, 0), 0);
  const std::string formatted = odbctest::TakeText(text);
  const std::string name = "name" + std::string(26, ' ') + "C" + "20" + std::string(13, ' ') +
                           "20" + std::string(13, ' ');
  EXPECT_NE(formatted.find(name), std::string::npos) << formatted;
  EXPECT_EQ(OD_GetColonnes(odbc, connection, Table().c_str(), 1, &text, 1), 0);
  const std::string extended = odbctest::TakeText(text);
  // The driver's own answers: type name, radix, precision, scale, nullable.
  EXPECT_NE(extended.find(name + "\tvarchar(20)\t0\t20\t10\t1\r\n"), std::string::npos) << extended;
  EXPECT_NE(extended.find("\tINTEGER\t0\t9\t10\t0\r\n"), std::string::npos)
      << "id is not nullable: " << extended;
  // A date has no scale: its letter is D, not T, so it keeps it.
  EXPECT_NE(extended.find("born" + std::string(26, ' ') + "D17"), std::string::npos) << extended;
}

TEST_F(Sqlite, LinesWithSeparatorsAndNulls) {
  Run("create table " + Table() + " (a varchar(10), b integer, c varchar(10))");
  Run("insert into " + Table() + " values ('left  ', null, 'x')");
  Run("insert into " + Table() + " values (null, 42, null)");
  EXPECT_EQ(Lines("select a, b, c from " + Table() + " order by b", "|"),
            (std::vector<std::string>{"left||x", "|42|"}));
  EXPECT_EQ(Lines("select a, b, c from " + Table() + " order by b", "<>"),
            (std::vector<std::string>{"left<><>x", "<>42<>"}));
}

TEST_F(Sqlite, LineStaysWithinItsBuffer) {
  // Three columns of 16383 characters: the first fills the first half, the
  // second the rest of the buffer, the third finds no room; the separators
  // fit only while the line stays below 32767 characters.
  Run("create table " + Table() + " (a text, b text, c text)");
  const std::string a(16383, 'a');
  Run("insert into " + Table() + " values ('" + a + "', '" + std::string(16383, 'b') + "', 'ccc')");
  std::string sql = "select a, b, c from " + Table();
  void* statement = nullptr;
  ASSERT_EQ(OD_ExecDirect(odbc, connection, &statement, sql.data(), nullptr), 0);
  int16_t error = 0;
  ASSERT_EQ(OD_Fetch(odbc, statement, &error), 0);
  std::vector<char> line(kOdbcLineSize + 64, '#');
  int16_t columns = 0;
  OD_ValLineComplete(odbc, statement, "|||", line.data(), &error, &columns);
  EXPECT_EQ(columns, 3);
  EXPECT_EQ(error, 0);
  const std::string got(line.data());
  EXPECT_LE(got.size(), static_cast<size_t>(kOdbcLineSize - 1));
  EXPECT_EQ(got.substr(0, 16386), a + "|||");
  EXPECT_EQ(got.find("ccc"), std::string::npos);
  for (size_t i = kOdbcLineSize; i < line.size(); ++i)
    ASSERT_EQ(line[i], '#') << "overrun at " << i;
  OD_LibRequete(odbc, statement);
}

TEST_F(Sqlite, LongDataAndMemosOfEverySize) {
  Run("create table " + Table() + " (id integer, b blob, t text)");
  const size_t sizes[] = {0, 1, 4095, 4096, 4097, 1u << 20};
  int id = 0;
  for (size_t size : sizes) {
    std::string bytes = odbctest::Pattern(size);
    // Text without the zero byte, which SQLite's text ends at.
    std::string text(size, 'z');
    for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>(0x20 + (i * 31) % 0xE0);
    const auto binary = odbctest::MemoBlock(bytes);
    const auto textual = odbctest::MemoBlock(text);
    odbctest::MemoTable table;
    table.Add(&binary);
    table.Add(&textual);
    ++id;
    Run("insert into " + Table() + " values (" + std::to_string(id) +
            ", KVMemoBinaire(Field:B), KVMemoBinaire(TextField:T))",
        table.Get());
    EXPECT_TRUE(odbctest::SameBytes(
        Long("select b from " + Table() + " where id = " + std::to_string(id)), bytes))
        << size;
    EXPECT_TRUE(odbctest::SameBytes(
        Long("select t from " + Table() + " where id = " + std::to_string(id)), text))
        << size;
  }
  odbctest::MemoTable nulls;
  nulls.Add(nullptr);
  Run("insert into " + Table() + " values (99, KVMemoBinaire(Field:B), null)", nulls.Get());
  EXPECT_EQ(Long("select b from " + Table() + " where id = 99"), "<null>");
  EXPECT_EQ(Long("select t from " + Table() + " where id = 99"), "<null>");
}

TEST_F(Sqlite, Windows1252TextBothWays) {
  Run("create table " + Table() + " (t varchar(300))");
  const std::string text = odbctest::Cp1252Text();
  std::string literal;
  for (char c : text) literal += c == '\'' ? std::string("''") : std::string(1, c);
  Run("insert into " + Table() + " values ('" + literal + "')");
  const auto memo = odbctest::MemoBlock(text);
  odbctest::MemoTable table;
  table.Add(&memo);
  Run("insert into " + Table() + " values (KVMemoBinaire(TextField:T))", table.Get());
  // Trailing blanks are not part of it: the text ends in 0xFF.
  const auto lines = Lines("select t from " + Table());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(odbctest::SameBytes(lines[0], text));
  EXPECT_TRUE(odbctest::SameBytes(lines[1], text));
  EXPECT_TRUE(odbctest::SameBytes(Long("select t from " + Table() + " limit 1"), text));
}

TEST_F(Sqlite, Transactions) {
  Run("create table " + Table() + " (a integer)");
  EXPECT_EQ(OD_Transaction(odbc, connection, 1), 0);
  Run("insert into " + Table() + " values (1)");
  EXPECT_EQ(OD_Transaction(odbc, connection, 3), 0);
  EXPECT_TRUE(Lines("select a from " + Table()).empty());
  EXPECT_EQ(OD_Transaction(odbc, connection, 1), 0);
  Run("insert into " + Table() + " values (2)");
  EXPECT_EQ(OD_Transaction(odbc, connection, 2), 0);
  EXPECT_EQ(Lines("select a from " + Table()), std::vector<std::string>{"2"});
  // Operation 4 does nothing and gives the last code back.
  odbc->lastCode = 100;
  EXPECT_EQ(OD_Transaction(odbc, connection, 4), 100);
  odbc->lastCode = 1;
  EXPECT_EQ(OD_Transaction(odbc, connection, 0), 1);
}

TEST_F(Sqlite, RowWalkingCalls) {
  Run("create table " + Table() + " (name varchar(12), n integer)");
  Run("insert into " + Table() + " values ('abc', 7)");
  std::string sql = "select name, n from " + Table();
  void* statement = nullptr;
  ASSERT_EQ(OD_ExecDirect(odbc, connection, &statement, sql.data(), nullptr), 0);
  int16_t count = 0;
  EXPECT_EQ(OD_NumResultCols(odbc, statement, &count), 0);
  EXPECT_EQ(count, 2);
  char name[32] = {};
  int16_t type = 0;
  EXPECT_EQ(OD_DescribeCol(odbc, statement, 1, name, sizeof name, &type), 0);
  EXPECT_STREQ(name, "name");
  EXPECT_EQ(type, 12);  // SQL_VARCHAR
  int32_t size = 0;
  EXPECT_EQ(OD_ColAttributes(odbc, statement, 1, &size), 0);
  EXPECT_EQ(size, 12);
  int16_t error = 9;
  EXPECT_EQ(OD_Fetch(odbc, statement, &error), 0);
  EXPECT_EQ(error, 0);
  char value[8] = {};
  EXPECT_EQ(OD_GetData(odbc, statement, 2, value, sizeof value), 0);
  EXPECT_STREQ(value, "7");
  EXPECT_EQ(OD_Fetch(odbc, statement, &error), 100);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(OD_LibRequete(odbc, statement), 0);
  // A statement handle that was dropped: the driver manager's answer.
  EXPECT_EQ(OD_Fetch(odbc, nullptr, &error), -2);
  EXPECT_EQ(error, 1);
}

// The same memo round trip through SQLSetParam, for a driver manager
// without SQLBindParameter.
TEST(SqliteSetParam, MemosThroughSQLSetParam) {
  odbctest::UseProjectConfiguration();
  ::setenv("KV_MODULE_ODBC32_DLL", KV_FAKE_DM_NOOPTIONAL, 1);
  OdbcBinding* odbc = nullptr;
  int32_t error = 0;
  ASSERT_EQ(OD_bChargeODBC(&odbc, &error), 1);
  ::unsetenv("KV_MODULE_ODBC32_DLL");
  ASSERT_EQ(odbc->pSQLBindParameter, nullptr);
  ConnectionInfo info = odbctest::Info("KvSQLite");
  void* connection = nullptr;
  ASSERT_EQ(OD_ConnecteODBC(odbc, &info, &connection), 0);
  const std::string table = "kv_setparam_" + std::to_string(::getpid());
  auto run = [&](std::string sql, const OdbcMemoTable* memos) {
    void* statement = nullptr;
    const int16_t code = OD_ExecDirect(odbc, connection, &statement, sql.data(), memos);
    if (code < 0) {
      char state[kOdbcStateSize] = {};
      char message[kOdbcMessageSize] = {};
      OD_bInfoGene(odbc, connection, statement, state, message);
      ADD_FAILURE() << sql << ": " << state << " " << message;
    }
    OD_LibRequete(odbc, statement);
    return code;
  };
  EXPECT_EQ(run("create table " + table + " (b blob)", nullptr), 0);
  const std::string bytes = odbctest::Pattern(10000);
  const auto memo = odbctest::MemoBlock(bytes);
  odbctest::MemoTable memos;
  memos.Add(&memo);
  EXPECT_EQ(run("insert into " + table + " values (KVMemoBinaire(Field:B))", memos.Get()), 0);
  std::string select = "select b from " + table;
  void* statement = nullptr;
  ASSERT_EQ(OD_ExecDirect(odbc, connection, &statement, select.data(), nullptr), 0);
  int16_t fetchError = 0;
  ASSERT_EQ(OD_Fetch(odbc, statement, &fetchError), 0);
  unsigned char* block = nullptr;
  EXPECT_EQ(OD_GetLongData(odbc, statement, 1, &block), 0);
  EXPECT_TRUE(odbctest::SameBytes(odbctest::LongData(block), bytes));
  OD_LibRequete(odbc, statement);
  EXPECT_EQ(run("drop table " + table, nullptr), 0);
  EXPECT_EQ(OD_Disconnect(odbc, connection), 0);
  EXPECT_EQ(OD_bDechargeODBC(&odbc), 1);
}

}  // namespace
