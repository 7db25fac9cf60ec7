// The ODBC part of the demo: a SQLite database reached through unixODBC and
// the SQLite ODBC driver, with a configuration of its own in a temporary
// folder (the system's ODBC files are left alone).
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "host/cp1252.h"
#include "host/odbc_binding.h"
#include "host/odbc_command.h"

namespace kvhost {

namespace {

constexpr const char* kSqliteDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

struct DemoFolder {
  std::string path;
  ~DemoFolder() {
    if (path.empty()) return;
    for (const char* name : {"odbcinst.ini", "odbc.ini", "demo.sqlite"})
      ::unlink((path + "/" + name).c_str());
    ::rmdir(path.c_str());
  }
};

bool WriteConfiguration(const std::string& folder) {
  std::ofstream drivers(folder + "/odbcinst.ini");
  drivers << "[KvSQLite3]\nDriver=" << kSqliteDriver << "\n";
  std::ofstream sources(folder + "/odbc.ini");
  sources << "[KvDemo]\nDriver=KvSQLite3\nDatabase=" << folder << "/demo.sqlite\n";
  return drivers.good() && sources.good();
}

std::vector<unsigned char> Memo(const std::string& text) {
  std::vector<unsigned char> block(4 + text.size());
  const int32_t length = static_cast<int32_t>(text.size());
  std::memcpy(block.data(), &length, 4);
  std::memcpy(block.data() + 4, text.data(), text.size());
  return block;
}

#pragma pack(push, 1)
struct OneMemo {
  int16_t count;
  const OdbcMemoBlock* memo;
};
#pragma pack(pop)

}  // namespace

int RunOdbcDemo() {
  std::printf("== kvodbc: a SQLite database through ODBC ==\n");
  if (::access(kSqliteDriver, R_OK) != 0) {
    std::fprintf(stderr, "kvhost: %s is missing (install libsqliteodbc)\n", kSqliteDriver);
    return 1;
  }
  DemoFolder folder;
  char pattern[] = "/tmp/kvhost-odbc-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return 1;
  folder.path = pattern;
  if (!WriteConfiguration(folder.path)) return 1;
  ::setenv("ODBCSYSINI", folder.path.c_str(), 1);
  ::setenv("ODBCINI", (folder.path + "/odbc.ini").c_str(), 1);

  OdbcLibrary od;
  std::string error;
  if (!od.Load(error)) {
    std::fprintf(stderr, "kvhost: %s\n", error.c_str());
    return 1;
  }
  OdbcBinding* odbc = nullptr;
  int32_t number = 0;
  if (od.OD_bChargeODBC(&odbc, &number) != 1) {
    std::fprintf(stderr, "kvhost: the ODBC driver manager could not be loaded (error %d)\n",
                 number);
    od.Unload();
    return 1;
  }
  int status = 0;
  ConnectionInfo info{};
  std::snprintf(info.dataSource, sizeof info.dataSource, "KvDemo");
  info.mode = kOdbcConnectStringMode;
  void* connection = nullptr;
  const int16_t connected = od.OD_ConnecteODBC(odbc, &info, &connection);
  std::printf("connect DSN=KvDemo: code %d, driver %s\n", connected, odbc->driverName);
  auto run = [&](const std::string& sql, const OdbcMemoTable* memos) {
    std::string text = sql;
    void* statement = nullptr;
    const int16_t code = od.OD_ExecDirect(odbc, connection, &statement, text.data(), memos);
    if (code < 0) {
      char state[kOdbcStateSize] = {};
      char message[kOdbcMessageSize] = {};
      od.OD_bInfoGene(odbc, connection, statement, state, message);
      std::printf("  %s: state %s %s\n", sql.c_str(), state, message);
      status = 1;
    }
    if (statement != nullptr) od.OD_LibRequete(odbc, statement);
  };
  if (connected >= 0) {
    run("create table CUSTOMERS (ID integer, NAME varchar(30), CITY varchar(20), NOTES text)",
        nullptr);
    const struct {
      int id;
      const char* name;
      const char* city;
      const char* notes;
    } rows[] = {{1, "Boulangerie Martin", "Lyon", "Livraison le mardi, avant 7 h."},
                {2, "Caf\xE9 Lumi\xE8re", "Li\xE8ge", "Paie \xE0 30 jours; remise 5 \x80."},
                {3, "M\xFCller & S\xF6hne GmbH", "K\xF6ln", ""}};
    for (const auto& row : rows) {
      const auto block = Memo(row.notes);
      const OneMemo memo{1, reinterpret_cast<const OdbcMemoBlock*>(block.data())};
      run("insert into CUSTOMERS values (" + std::to_string(row.id) + ", '" + row.name + "', '" +
              row.city + "', KVMemoBinaire(TextField:NOTES))",
          reinterpret_cast<const OdbcMemoTable*>(&memo));
    }
    char* tables = od.OD_pszListeTable(odbc, connection, 1, 1);
    std::printf("tables (name, qualifier, owner, type):\n  %s\n", tables ? tables : "(none)");
    FreeOdbcBlock(tables);
    char* columns = nullptr;
    od.OD_GetColonnes(odbc, connection, "CUSTOMERS", 1, &columns, 0);
    std::string shown = columns != nullptr ? columns : "";
    for (size_t at = 0; (at = shown.find("\r\n", at)) != std::string::npos;)
      shown.replace(at, 2, "\n  ");
    std::printf("columns of CUSTOMERS:\n  %s\n", shown.c_str());
    FreeOdbcBlock(columns);

    std::string sql = "select ID, NAME, CITY, NOTES from CUSTOMERS order by ID";
    void* statement = nullptr;
    od.OD_ExecDirect(odbc, connection, &statement, sql.data(), nullptr);
    std::printf("rows as lines:\n");
    std::vector<char> line(kOdbcLineSize);
    int16_t count = 0;
    int16_t failed = 0;
    while (od.OD_Fetch(odbc, statement, &failed) == 0) {
      od.OD_ValLineComplete(odbc, statement, " | ", line.data(), &failed, &count);
      std::printf("  %s\n", Cp1252ToUtf8(line.data()).c_str());
    }
    od.OD_LibRequete(odbc, statement);

    sql = "select NOTES from CUSTOMERS where ID = 2";
    od.OD_ExecDirect(odbc, connection, &statement, sql.data(), nullptr);
    unsigned char* memo = nullptr;
    if (od.OD_Fetch(odbc, statement, &failed) == 0 &&
        od.OD_GetLongData(odbc, statement, 1, &memo) >= 0 && memo != nullptr) {
      const uint32_t length = memo[4] | memo[5] << 8 | memo[6] << 16 | uint32_t{memo[7]} << 24;
      std::printf("memo of customer 2 read as long data: %.3s block, %u bytes: \"%s\"\n", memo,
                  length,
                  Cp1252ToUtf8(std::string(reinterpret_cast<char*>(memo) + 8, length)).c_str());
      FreeOdbcBlock(memo);
    } else {
      status = 1;
    }
    od.OD_LibRequete(odbc, statement);
    od.OD_Disconnect(odbc, connection);
  } else {
    status = 1;
  }
  od.OD_bDechargeODBC(&odbc);
  od.Unload();
  return status;
}

}  // namespace kvhost
