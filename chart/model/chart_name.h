// Chart names: stored upper case, so that names given in any case find the
// same chart.
#pragma once
#include <string>

namespace kv::chart {

// Upper-cases a Windows-1252 text in place, letters with accents included
// (as the platform's CharUpperA does: "é" becomes "É", "ÿ" becomes "Ÿ").
void UpperCaseInPlace(char* text);

// The upper-case form of a name, for comparisons.
std::string UpperCased(const char* text);

}  // namespace kv::chart
