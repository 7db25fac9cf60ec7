// The index part of the xBase demo.
#pragma once
#include <string>

#include "host/xbase_binding.h"

namespace kvhost {

// Builds an NDX over the sample's NAME field key by key in a temporary
// directory, finds a name, and walks the index both ways.
void ShowIndex(const XbaseBinding& xb, const std::string& sample);

}  // namespace kvhost
