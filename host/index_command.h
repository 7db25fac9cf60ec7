// `kvhost index build` and `kvhost index check`: build an index of any of the
// four kinds over a data file through the engine, and check an index file
// with the invariant checkers.
#pragma once

namespace kvhost {

// argv after "index"; returns the exit status: 0 a sound index, 1 a failed
// build or a damaged file, 2 a usage error.
int IndexCommand(int argc, char** argv);

// The lines of the usage text that describe the index subcommands.
const char* IndexUsage();

}  // namespace kvhost
