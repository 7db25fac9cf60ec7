// Which order the keys of an index seem to follow, from the keys in the
// order they are stored: ascending or descending as this engine compares
// keys (bytes of text, values of numbers), or either with letters compared
// without case (as engines with a language driver write them).
// `kvhost index check --lenient` reports it for files of other programs.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace kvcheck {

// Orders two stored keys as this engine does for an ascending index.
using KeyComparison = std::function<int(const std::string&, const std::string&)>;

// "ascending", "descending", "ascending, case-insensitive", "descending,
// case-insensitive" or "unknown": the first that every neighbouring pair
// keeps. `text` says whether case folding applies (character keys only).
// Fewer than two distinct keys fit every order: the first is given.
std::string GuessKeyOrder(const std::vector<std::string>& keys, const KeyComparison& engine,
                          bool text);

}  // namespace kvcheck
