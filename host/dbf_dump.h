// Printing a data file's structure and records through the engine.
#pragma once
#include <cstdio>

#include "host/xbase_binding.h"

namespace kvhost {

struct DumpOptions {
  int variant = 0;        // 0: the engine's default (1)
  int dateStyle = 0;      // 0: keep the engine's style
  long maxRecords = -1;   // -1: every record
};

// Returns 0 on success, else the engine status that stopped the dump.
int DumpDbf(const XbaseBinding& xb, const char* path, const DumpOptions& options, std::FILE* out);

}  // namespace kvhost
