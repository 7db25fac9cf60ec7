// Where the demo finds its sample files.
#pragma once

#include <string>

namespace kvhost {

// The samples installed beside this program (PREFIX/bin/kvhost reads
// PREFIX/share/kv/samples) when they are there, else those of the source
// tree it was built from.
std::string SamplesDirectory();

}  // namespace kvhost
