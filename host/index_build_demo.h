// The demo's index-build part: one index of each of the four kinds built in
// one call over the sample data file, each checked by its format's checker.
#pragma once
#include <string>

#include "host/xbase_binding.h"

namespace kvhost {

// Returns 0 when every build succeeded and every index is sound.
int ShowIndexBuilds(XbaseBinding& xb, const std::string& sample);

}  // namespace kvhost
