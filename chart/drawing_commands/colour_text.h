// The text of a colour inside a drawing command: a letter for the sixteen
// standard colours, "T" and "S" for the two special values, RVB(r,g,b)
// otherwise.
#pragma once
#include <cstdint>
#include <string>

namespace kv::chart {

std::string ColourText(int32_t colour);

}  // namespace kv::chart
