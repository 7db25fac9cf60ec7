// `kvhost rpc serve|call|put|get`: the remote services for a person (and
// for the tool tests).
#pragma once

namespace kvhost {

// argv after "rpc"; returns the exit status: 0 success, 1 a refused call or
// a failed transfer, 2 a usage error.
int RpcCommand(int argc, char** argv);

// The lines of the usage text that describe the rpc subcommands.
const char* RpcUsage();

}  // namespace kvhost
