// Fetches every row of one query through kvodbc (OD_Fetch and
// OD_ValLineComplete) and writes the lines to standard output, as a person's
// tool would; bench/run-odbc.sh times it against isql, sqlite3 and psql.
//   bench_odbc_fetch DSN USER PASSWORD "SQL"
#include <cstdio>
#include <cstring>
#include <vector>

#include "kv/odbc.h"
#include "platform/kernel/memory.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: bench_odbc_fetch DSN USER PASSWORD SQL\n");
    return 2;
  }
  OdbcBinding* odbc = nullptr;
  int32_t error = 0;
  if (OD_bChargeODBC(&odbc, &error) != 1) {
    std::fprintf(stderr, "the driver manager could not be loaded (%d)\n", error);
    return 1;
  }
  ConnectionInfo info{};
  std::snprintf(info.dataSource, sizeof info.dataSource, "%s", argv[1]);
  std::snprintf(info.user, sizeof info.user, "%s", argv[2]);
  std::snprintf(info.password, sizeof info.password, "%s", argv[3]);
  info.mode = kOdbcConnectStringMode;
  void* connection = nullptr;
  char state[kOdbcStateSize] = {};
  char message[kOdbcMessageSize] = {};
  if (OD_ConnecteODBC(odbc, &info, &connection) < 0) {
    OD_bInfoGene(odbc, connection, nullptr, state, message);
    std::fprintf(stderr, "connect: %s %s\n", state, message);
    return 1;
  }
  std::vector<char> sql(argv[4], argv[4] + std::strlen(argv[4]) + 1);
  void* statement = nullptr;
  if (OD_ExecDirect(odbc, connection, &statement, sql.data(), nullptr) < 0) {
    OD_bInfoGene(odbc, connection, statement, state, message);
    std::fprintf(stderr, "query: %s %s\n", state, message);
    return 1;
  }
  std::vector<char> line(kOdbcLineSize);
  std::vector<char> out(1 << 16);
  std::setvbuf(stdout, out.data(), _IOFBF, out.size());
  int16_t columns = 0;
  int16_t failed = 0;
  long rows = 0;
  int16_t code;
  while ((code = OD_Fetch(odbc, statement, &failed)) == 0 || code == 1) {
    OD_ValLineComplete(odbc, statement, "|", line.data(), &failed, &columns);
    if (failed != 0) {
      std::fprintf(stderr, "row %ld could not be read\n", rows + 1);
      return 1;
    }
    std::fputs(line.data(), stdout);
    std::fputc('\n', stdout);
    ++rows;
  }
  std::fflush(stdout);
  OD_LibRequete(odbc, statement);
  OD_Disconnect(odbc, connection);
  OD_bDechargeODBC(&odbc);
  return code == 100 ? 0 : 1;
}
