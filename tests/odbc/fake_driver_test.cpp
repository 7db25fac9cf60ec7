// Through the tests' own driver: the IM001 fall-back to SQLConnect, the
// database kind from the DBMS name, the lock statements and their option
// files, memo parameters piece by piece, and long data without a total
// length.
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "odbc_support.h"
#include "platform/kernel/profile.h"

namespace {

class FakeDriver : public odbctest::Session {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/kvodbc-fake-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    folder_ = folder;
    log_ = folder_ + "/statements.log";
    ::setenv("KV_FAKE_LOG", log_.c_str(), 1);
    ::setenv("KV_WINDIR", folder_.c_str(), 1);
    Session::SetUp();
  }
  void TearDown() override {
    Session::TearDown();
    ::unsetenv("KV_FAKE_LOG");
    ::unsetenv("KV_FAKE_DBMS");
    ::unsetenv("KV_WINDIR");
    std::system(("rm -rf " + folder_).c_str());
  }
  void ConnectAs(const char* dbms) {
    ::setenv("KV_FAKE_DBMS", dbms, 1);
    ASSERT_EQ(Connect(odbctest::Info("KvFake", "scott", "tiger")), 0) << State() << lastMessage;
  }
  std::string LogText() {
    std::ifstream in(log_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void ClearLog() { std::ofstream(log_, std::ios::trunc); }
  // The statement the driver was sent by a locked execution.
  std::string Locked(const char* text, int16_t tableLock) {
    ClearLog();
    void* statement = nullptr;
    EXPECT_EQ(OD_ExecDirectLock(odbc, connection, &statement, text, tableLock), 0);
    EXPECT_NE(statement, nullptr);
    OD_LibRequete(odbc, statement);
    return LogText();
  }
  void Option(const char* file, const char* key, const char* value) {
    ASSERT_TRUE(kvp::WritePrivateProfileStringA("OPTIONS", key, value, file));
  }

  std::string folder_;
  std::string log_;
};

TEST_F(FakeDriver, ConnectStringFallsBackToSQLConnectOnIM001) {
  ConnectAs("FakeBase");
  EXPECT_NE(connection, nullptr);
  EXPECT_NE(LogText().find("CONNECT KvFake scott"), std::string::npos) << LogText();
  EXPECT_STREQ(odbc->driverName, "libkvfakeodbc.so");
  EXPECT_EQ(static_cast<int>(odbc->databaseKind), kOdbcKindOther);
  EXPECT_NE(OD_GetEnv(odbc), nullptr);
}

TEST_F(FakeDriver, DatabaseKindFromTheDbmsName) {
  const struct {
    const char* dbms;
    int16_t kind;
  } cases[] = {{"Oracle", 2},
               {"Microsoft SQL Server", 3},
               {"ms access", 1},
               {"ACCESS via Oracle", 1},
               {"Oracle, sql server", 3},
               {"PostgreSQL", 0},
               {"sql serverless", 3},
               {"SQLServer", 0}};
  for (const auto& c : cases) {
    ConnectAs(c.dbms);
    EXPECT_EQ(static_cast<int>(odbc->databaseKind), c.kind) << c.dbms;
    EXPECT_EQ(OD_Disconnect(odbc, connection), 0);
    connection = nullptr;
  }
}

TEST_F(FakeDriver, OracleLockStatements) {
  ConnectAs("Oracle");
  std::string log = Locked("T", 1);
  EXPECT_NE(log.find("EXEC LOCK TABLE T IN EXCLUSIVE MODE\n"), std::string::npos) << log;
  EXPECT_NE(log.find("OPTION 0=60\n"), std::string::npos) << "query time-out: " << log;
  log = Locked("select * from T where ID=1", 0);
  EXPECT_NE(log.find("EXEC select * from T where ID=1 FOR UPDATE\n"), std::string::npos) << log;
  // The option file is read afresh for every statement.
  Option("KVORAINS.INI", "NOWAIT", "oui");
  log = Locked("T", 1);
  EXPECT_NE(log.find("EXEC LOCK TABLE T IN EXCLUSIVE MODE NOWAIT\n"), std::string::npos) << log;
  Option("KVORAINS.INI", "NOWAIT", "Yes");
  Option("KVORAINS.INI", "MODELOCK", "ROW SHARE");
  log = Locked("T", 1);
  EXPECT_NE(log.find("EXEC LOCK TABLE T IN ROW SHARE MODE NOWAIT\n"), std::string::npos) << log;
  log = Locked("select * from T", 0);
  EXPECT_NE(log.find("EXEC select * from T FOR UPDATE NOWAIT\n"), std::string::npos) << log;
  Option("KVORAINS.INI", "NOWAIT", "non");
  log = Locked("T", 1);
  EXPECT_NE(log.find("EXEC LOCK TABLE T IN ROW SHARE MODE\n"), std::string::npos) << log;
}

TEST_F(FakeDriver, SqlServerLockStatements) {
  ConnectAs("Microsoft SQL Server");
  std::string log = Locked("T", 1);
  EXPECT_NE(log.find("EXEC select * from T  (TABLOCKX)\n"), std::string::npos) << log;
  log = Locked("select * from T where ID=1", 0);
  EXPECT_NE(log.find("EXEC select * from T (UPDLOCK) where ID=1\n"), std::string::npos) << log;
  log = Locked("select * from T", 0);
  EXPECT_NE(log.find("EXEC select * from T UPDLOCK\n"), std::string::npos) << log;
  // Only the first " where " takes the hint; capitals are the same clause.
  log = Locked("select * from T WHERE A=1 and B in (select B from U where C=2)", 0);
  EXPECT_NE(
      log.find("EXEC select * from T (UPDLOCK) where A=1 and B in (select B from U where C=2)\n"),
      std::string::npos)
      << log;
  Option("KVSQSINS.INI", "MODELOCK", "WITH (HOLDLOCK)");
  log = Locked("T", 1);
  EXPECT_NE(log.find("EXEC select * from T  WITH (HOLDLOCK)\n"), std::string::npos) << log;
  log = Locked("select * from T where ID=1", 0);
  EXPECT_NE(log.find("EXEC select * from T WITH (HOLDLOCK) where ID=1\n"), std::string::npos)
      << log;
}

TEST_F(FakeDriver, OtherKindsGetTheEmptyStatement) {
  ConnectAs("FakeBase");
  const std::string log = Locked("T", 1);
  EXPECT_NE(log.find("EXEC \n"), std::string::npos) << log;
}

TEST_F(FakeDriver, MemoOf10000BytesGoesIn4096_4096_1808) {
  ConnectAs("FakeBase");
  const auto memo = odbctest::MemoBlock(odbctest::Pattern(10000));
  odbctest::MemoTable table;
  table.Add(&memo);
  ClearLog();
  Run("insert into T values (KVMemoBinaire(Field:NOTES))", table.Get());
  EXPECT_EQ(LogText(),
            "BIND 1 type -4\nEXEC insert into T values (?)\nDATA\nPUT 4096\nPUT 4096\nPUT 1808\n");
}

TEST_F(FakeDriver, MemoPiecesAtTheirBoundaries) {
  ConnectAs("FakeBase");
  const auto empty = odbctest::MemoBlock("");
  const auto one = odbctest::MemoBlock("x");
  const auto full = odbctest::MemoBlock(std::string(4096, 'a'));
  const auto over = odbctest::MemoBlock(std::string(4097, 'b'));
  odbctest::MemoTable table;
  table.Add(&empty);
  table.Add(nullptr);
  table.Add(&one);
  table.Add(&full);
  table.Add(&over);
  ClearLog();
  Run("insert into T values (KVMemoBinaire(TextField:A), KVMemoBinaire(Champ:B), "
      "KVMemoBinaire(ChampTexte:C), KVMemoBinaire(TextFile:D), KVMemoBinaire(Binaire:E))",
      table.Get());
  // An empty memo is one piece of no bytes, a null one a null value.
  EXPECT_EQ(LogText(),
            "BIND 1 type -1\nBIND 2 type -4\nBIND 3 type -1\nBIND 4 type -1\nBIND 5 type -4\n"
            "EXEC insert into T values (?, ?, ?, ?, ?)\n"
            "DATA\nPUT 0\nDATA\nPUT NULL\nDATA\nPUT 1\nDATA\nPUT 4096\nDATA\nPUT 4096\nPUT 1\n");
}

TEST_F(FakeDriver, OnlyTheReferencesFoundAreBound) {
  ConnectAs("FakeBase");
  const auto memo = odbctest::MemoBlock("abc");
  odbctest::MemoTable table;
  for (int i = 0; i < 3; ++i) table.Add(&memo);
  ClearLog();
  Run("update T set A = KVMemoBinaire(Field:A) where B = 'KVMemoBinaire(Field:B)'", table.Get());
  EXPECT_EQ(
      LogText(),
      "BIND 1 type -4\nEXEC update T set A = ? where B = 'KVMemoBinaire(Field:B)'\nDATA\nPUT 3\n");
}

TEST_F(FakeDriver, NegativeMemoLengthIsRefused) {
  ConnectAs("FakeBase");
  auto memo = odbctest::MemoBlock("abc");
  const int32_t negative = -5;
  std::memcpy(memo.data(), &negative, 4);
  odbctest::MemoTable table;
  table.Add(&memo);
  ClearLog();
  char sql[] = "insert into T values (KVMemoBinaire(Field:A))";
  void* statement = nullptr;
  EXPECT_EQ(OD_ExecDirect(odbc, connection, &statement, sql, table.Get()), -1);
  EXPECT_EQ(statement, nullptr);
  EXPECT_STREQ(sql, "insert into T values (KVMemoBinaire(Field:A))");
  EXPECT_EQ(LogText(), "");
}

TEST_F(FakeDriver, LongDataWithoutATotalLength) {
  ConnectAs("FakeBase");
  for (size_t size : {0u, 1u, 4095u, 4096u, 4097u, 8192u, 1u << 20}) {
    EXPECT_TRUE(odbctest::SameBytes(Long("LONG " + std::to_string(size)), odbctest::Pattern(size)))
        << size;
  }
  EXPECT_EQ(Long("NULL"), "<null>");
}

TEST_F(FakeDriver, CallsAreRepeatedWhileStillExecuting) {
  ConnectAs("FakeBase");
  ::setenv("KV_FAKE_STILL_EXECUTING", "3", 1);
  ClearLog();
  char sql[] = "anything";
  void* statement = nullptr;
  EXPECT_EQ(OD_ExecDirect(odbc, connection, &statement, sql, nullptr), 0);
  int16_t error = 1;
  EXPECT_EQ(OD_Fetch(odbc, statement, &error), 0);
  EXPECT_EQ(error, 0);
  // unixODBC refuses to drop a statement whose fetch went through "still
  // executing" to "no more data" (function sequence error): the last fetch
  // answers at once.
  ::unsetenv("KV_FAKE_STILL_EXECUTING");
  EXPECT_EQ(OD_Fetch(odbc, statement, &error), 100);
  EXPECT_EQ(OD_LibRequete(odbc, statement), 0) << State(statement) << lastMessage;
  // Four calls of the statement, and four of the first fetch.
  EXPECT_EQ(LogText(),
            "EXEC anything\nEXEC anything\nEXEC anything\nEXEC anything\n"
            "FETCH busy\nFETCH busy\nFETCH busy\n");
}

TEST_F(FakeDriver, NullColumnAppendsNothingToTheLine) {
  ConnectAs("FakeBase");
  EXPECT_EQ(Lines("NULL"), std::vector<std::string>{""});
  EXPECT_EQ(Lines("anything"), std::vector<std::string>{"ok"});
}

}  // namespace
