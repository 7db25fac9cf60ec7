// Fields of packed records may sit at misaligned addresses: a test reads
// them by value (V(record.field)) before handing them to an assertion, which
// would otherwise bind a reference to them.
#pragma once

namespace kvtest {

template <typename T>
constexpr T V(T value) {
  return value;
}

}  // namespace kvtest
