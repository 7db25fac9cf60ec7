// kvhost odbc: queries, data sources and the ODBC demo.
#pragma once

namespace kvhost {

const char* OdbcUsage();
// argv holds what follows "odbc"; returns the exit status.
int OdbcCommand(int argc, char** argv);
// The demo: a SQLite database reached through ODBC.
int RunOdbcDemo();

}  // namespace kvhost
