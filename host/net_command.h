// `kvhost net scan|echo-server|send`: the socket classes at work, for a
// person to watch (and for the tool tests).
#pragma once

namespace kvhost {

// argv after "net"; returns the exit status: 0 success, 1 no answer or a
// failed exchange, 2 a usage error.
int NetCommand(int argc, char** argv);

// The lines of the usage text that describe the net subcommands.
const char* NetUsage();

}  // namespace kvhost
