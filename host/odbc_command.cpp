#include "host/odbc_command.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/odbc_binding.h"

namespace kvhost {

namespace {

struct Loaded {
  OdbcLibrary library;
  OdbcBinding* odbc = nullptr;
  ~Loaded() {
    if (odbc != nullptr) library.OD_bDechargeODBC(&odbc);
    library.Unload();
  }
  bool Start() {
    std::string error;
    if (!library.Load(error)) {
      std::fprintf(stderr, "kvhost: %s\n", error.c_str());
      return false;
    }
    int32_t number = 0;
    if (library.OD_bChargeODBC(&odbc, &number) != 1) {
      std::fprintf(stderr, "kvhost: the ODBC driver manager could not be loaded (error %d)\n",
                   number);
      return false;
    }
    return true;
  }
  void Report(void* connection, void* statement, const char* what) {
    char state[kOdbcStateSize] = {};
    char message[kOdbcMessageSize] = {};
    library.OD_bInfoGene(odbc, connection, statement, state, message);
    std::fprintf(stderr, "kvhost: %s: state %s: %s\n", what, state, message);
  }
};

int Sources() {
  Loaded loaded;
  if (!loaded.Start()) return 1;
  char* list = loaded.library.OD_pszListeBase(loaded.odbc, "\n");
  if (list == nullptr) {
    std::fprintf(stderr, "kvhost: the data sources could not be listed\n");
    return 1;
  }
  if (*list != '\0') std::printf("%s\n", list);
  FreeOdbcBlock(list);
  return 0;
}

int Query(const std::string& connect, const std::string& sql, const std::string& separator) {
  ConnectionInfo info{};
  std::string error;
  if (!ParseConnectString(connect, info, error)) {
    std::fprintf(stderr, "kvhost: %s\n", error.c_str());
    return 2;
  }
  Loaded loaded;
  if (!loaded.Start()) return 1;
  const OdbcLibrary& od = loaded.library;
  void* connection = nullptr;
  if (od.OD_ConnecteODBC(loaded.odbc, &info, &connection) < 0) {
    loaded.Report(connection, nullptr, "connecting failed");
    od.OD_Disconnect(loaded.odbc, connection);
    return 1;
  }
  std::string text = sql;
  void* statement = nullptr;
  int16_t code = od.OD_ExecDirect(loaded.odbc, connection, &statement, text.data(), nullptr);
  int status = 0;
  if (code < 0) {
    loaded.Report(connection, statement, "the statement failed");
    status = 1;
  } else if (code != 100) {
    std::vector<char> line(kOdbcLineSize);
    int16_t columns = 0;
    int16_t failed = 0;
    while ((code = od.OD_Fetch(loaded.odbc, statement, &failed)) == 0 || code == 1) {
      od.OD_ValLineComplete(loaded.odbc, statement, separator.c_str(), line.data(), &failed,
                            &columns);
      if (failed != 0) break;
      std::fwrite(line.data(), 1, std::strlen(line.data()), stdout);
      std::fputc('\n', stdout);
    }
    // A statement without a result set (an insert) has no rows to walk.
    if (failed != 0 && columns != 0) {
      loaded.Report(connection, statement, "reading the rows failed");
      status = 1;
    }
  }
  if (statement != nullptr) od.OD_LibRequete(loaded.odbc, statement);
  od.OD_Disconnect(loaded.odbc, connection);
  return status;
}

}  // namespace

const char* OdbcUsage() {
  return "  kvhost odbc query \"CONNECT STRING\" \"SQL\" [--separator S]\n"
         "                                   run one statement, print its rows as lines\n"
         "                                   (connect string: DSN=..;UID=..;PWD=..;DATABASE=..)\n"
         "  kvhost odbc sources              list the ODBC data sources\n"
         "  kvhost odbc demo                 a SQLite database through ODBC\n";
}

int OdbcCommand(int argc, char** argv) {
  if (argc == 1 && std::strcmp(argv[0], "sources") == 0) return Sources();
  if (argc == 1 && std::strcmp(argv[0], "demo") == 0) return RunOdbcDemo();
  if (argc >= 3 && std::strcmp(argv[0], "query") == 0) {
    std::string separator = "|";
    for (int i = 3; i < argc; ++i) {
      if (std::strcmp(argv[i], "--separator") == 0 && i + 1 < argc) {
        separator = argv[++i];
      } else {
        std::fprintf(stderr, "usage:\n%s", OdbcUsage());
        return 2;
      }
    }
    return Query(argv[1], argv[2], separator);
  }
  std::fprintf(stderr, "usage:\n%s", OdbcUsage());
  return 2;
}

}  // namespace kvhost
