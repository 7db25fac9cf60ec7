// kvhost serial: the port mapping table, and a port opened through kvcomm's
// serial functions that shows what arrives.
#pragma once

namespace kvhost {

const char* SerialUsage();
int SerialCommand(int argc, char** argv);

}  // namespace kvhost
