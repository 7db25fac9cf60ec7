// The data-file writing part of the xBase demo.
#pragma once
#include "host/xbase_binding.h"

namespace kvhost {

// Creates a data file in a temporary directory, appends and updates records,
// deletes two and packs, printing the file after each step. 0 when every
// call did what it should.
int ShowDataFileWriting(const XbaseBinding& xb);

}  // namespace kvhost
