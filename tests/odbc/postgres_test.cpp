// Against PostgreSQL 15 through psqlodbc, with the server the ctest fixture
// started on loopback: connecting, a wrong password, long data and memos of
// every boundary size in bytea and text columns, Windows-1252 text, the
// lists, and a server that stops in the middle of a session.
#include <unistd.h>

#include "odbc_support.h"

namespace {

class Postgres : public odbctest::Session {
 protected:
  void SetUp() override {
    Session::SetUp();
    ASSERT_EQ(Connect(odbctest::Info("KvPostgres", "kv", "kvsecret", "kvtest")), 0)
        << State() << lastMessage;
    Run("drop table if exists " + Table());
  }
  void TearDown() override {
    Run("drop table if exists " + Table());
    Session::TearDown();
  }
  std::string Table() { return "kv_" + std::to_string(::getpid()); }
};

TEST_F(Postgres, ConnectsWithItsDriverNameAndKind) {
  EXPECT_NE(std::string(odbc->driverName).find("psqlodbc"), std::string::npos) << odbc->driverName;
  EXPECT_EQ(static_cast<int>(odbc->databaseKind), kOdbcKindOther);
  EXPECT_EQ(Lines("select current_setting('client_encoding'), current_database()"),
            std::vector<std::string>{"WIN1252|kvtest"});
}

TEST_F(Postgres, WrongPasswordIs08001) {
  void* other = nullptr;
  ConnectionInfo info = odbctest::Info("KvPostgres", "kv", "not-the-password", "kvtest");
  EXPECT_EQ(OD_ConnecteODBC(odbc, &info, &other), -1);
  char state[kOdbcStateSize] = {};
  char message[kOdbcMessageSize] = {};
  EXPECT_EQ(OD_bInfoGene(odbc, other, nullptr, state, message), 1);
  EXPECT_STREQ(state, "08001");
  EXPECT_NE(std::string(message).find("password"), std::string::npos) << message;
  OD_Disconnect(odbc, other);
}

TEST_F(Postgres, LongDataAndMemosOfEverySize) {
  Run("create table " + Table() + " (id integer, b bytea, t text)");
  int id = 0;
  for (size_t size : {0u, 1u, 4095u, 4096u, 4097u, 1u << 20}) {
    const std::string bytes = odbctest::Pattern(size);
    std::string text(size, ' ');
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
    const std::string where = " from " + Table() + " where id = " + std::to_string(id);
    EXPECT_TRUE(odbctest::SameBytes(Long("select b" + where), bytes)) << size;
    EXPECT_TRUE(odbctest::SameBytes(Long("select t" + where), text)) << size;
    // The server's own view of what arrived.
    EXPECT_EQ(Lines("select length(b), length(t), md5(b) = md5(convert_to(t, 'WIN1252'))" + where),
              std::vector<std::string>{std::to_string(size) + "|" + std::to_string(size) + "|" +
                                       (size == 0 ? "1" : "0")});
  }
  odbctest::MemoTable nulls;
  nulls.Add(nullptr);
  nulls.Add(nullptr);
  Run("insert into " + Table() + " values (99, KVMemoBinaire(Field:B), KVMemoBinaire(TextFile:T))",
      nulls.Get());
  EXPECT_EQ(Long("select b from " + Table() + " where id = 99"), "<null>");
  EXPECT_EQ(Long("select t from " + Table() + " where id = 99"), "<null>");
  EXPECT_EQ(Lines("select count(*) from " + Table() + " where b is null and t is null"),
            std::vector<std::string>{"1"});
}

TEST_F(Postgres, Windows1252TextBothWays) {
  Run("create table " + Table() + " (id integer, t varchar(300))");
  const std::string text = odbctest::Cp1252Text();
  std::string literal;
  for (char c : text) literal += c == '\'' ? std::string("''") : std::string(1, c);
  Run("insert into " + Table() + " values (1, '" + literal + "')");
  const auto memo = odbctest::MemoBlock(text);
  odbctest::MemoTable table;
  table.Add(&memo);
  Run("insert into " + Table() + " values (2, KVMemoBinaire(ChampTexte:T))", table.Get());
  const auto lines = Lines("select t from " + Table() + " order by id");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(odbctest::SameBytes(lines[0], text));
  EXPECT_TRUE(odbctest::SameBytes(lines[1], text));
  EXPECT_TRUE(odbctest::SameBytes(Long("select t from " + Table() + " where id = 2"), text));
  // The server stored the characters themselves: é and € as UTF-8.
  EXPECT_EQ(Lines("select encode(convert_to(substr(t, 202, 1), 'UTF8'), 'hex'), "
                  "encode(convert_to(substr(t, 97, 1), 'UTF8'), 'hex') from " +
                  Table()),
            (std::vector<std::string>{"c3a9|e282ac", "c3a9|e282ac"}));
}

TEST_F(Postgres, TablesColumnsAndTransactions) {
  Run("create table " + Table() + " (id integer not null, name varchar(20))");
  const std::string tables = odbctest::TakeText(OD_pszListeTable(odbc, connection, 1, 1));
  EXPECT_NE(tables.find(Table() + "\tkvtest\tpublic\tTABLE"), std::string::npos) << tables;
  char* text = nullptr;
  EXPECT_EQ(OD_GetColonnes(odbc, connection, ("public." + Table()).c_str(), 0, &text, 0), 0);
  EXPECT_EQ(odbctest::TakeText(text), "id\r\nname");
  EXPECT_EQ(OD_Transaction(odbc, connection, 1), 0);
  Run("insert into " + Table() + " values (1, 'gone')");
  EXPECT_EQ(OD_Transaction(odbc, connection, 3), 0);
  EXPECT_EQ(OD_Transaction(odbc, connection, 1), 0);
  Run("insert into " + Table() + " values (2, 'kept')");
  EXPECT_EQ(OD_Transaction(odbc, connection, 2), 0);
  EXPECT_EQ(Lines("select id, name from " + Table()), std::vector<std::string>{"2|kept"});
  const std::string types = odbctest::TakeText(OD_pszTypeBase(odbc, connection));
  EXPECT_NE(types.find("bool\t1\r\n"), std::string::npos) << types;   // SQL_BIT
  EXPECT_NE(types.find("int4\t12\r\n"), std::string::npos) << types;  // SQL_INTEGER
}

// A server of its own, stopped at once while a connection is open: the
// next statement reports the server's shutdown state, and nothing crashes
// or leaks.
TEST(PostgresStopped, ServerStoppedMidSession) {
  odbctest::UseProjectConfiguration();
  const std::string script = KV_PG_SCRIPT;
  const std::string dir = KV_PG_SPARE_DIR;
  ASSERT_EQ(
      std::system((script + " start " + dir + " " + KV_PG_SPARE_PORT + " >/dev/null").c_str()), 0);
  OdbcBinding* odbc = nullptr;
  int32_t error = 0;
  ASSERT_EQ(OD_bChargeODBC(&odbc, &error), 1);
  ConnectionInfo info = odbctest::Info("KvPostgresSpare", "kv", "kvsecret", "kvtest");
  void* connection = nullptr;
  const int16_t connected = OD_ConnecteODBC(odbc, &info, &connection);
  EXPECT_EQ(connected, 0);
  const int stopped = std::system((script + " stop " + dir + " immediate").c_str());
  EXPECT_EQ(stopped, 0);
  if (connected == 0) {
    std::string sql = "select 1";
    void* statement = nullptr;
    EXPECT_EQ(OD_ExecDirect(odbc, connection, &statement, sql.data(), nullptr), -1);
    char state[kOdbcStateSize] = {};
    char message[kOdbcMessageSize] = {};
    EXPECT_EQ(OD_bInfoGene(odbc, connection, statement, state, message), 1);
    EXPECT_STREQ(state, "57P01") << message;
    OD_LibRequete(odbc, statement);
    // The connection is gone on the server's side; closing it stays safe.
    OD_Disconnect(odbc, connection);
  }
  EXPECT_EQ(OD_bDechargeODBC(&odbc), 1);
  std::system(("rm -rf " + dir).c_str());
}

}  // namespace
