// The client's table of named host functions, sorted by name in byte order.
//
// The table and every entry's name are moveable global blocks whose handles
// live in the client context (ExpressionTable), so XBDTERM can free them.
// Blocks are locked only while one call works on them.
#pragma once
#include <cstddef>
#include <cstdint>

#include "kv/xbase.h"
#include "xbase/frame/engine.h"

namespace kv::xb::expr {

inline constexpr uint16_t kFirstCapacity = 20;
inline constexpr uint16_t kGrowBy = 10;

// Adds `name` (already upper-cased, `length` bytes). 0, +11 when present,
// -3 when memory runs out (nothing changed then).
XBSTATUS AddFunction(ExpressionTable& table, const char* name, size_t length, XBEXPRFUNC function);

// Removes `name`; 0, or +4 when absent. The table is freed when it empties.
XBSTATUS DeleteFunction(ExpressionTable& table, const char* name, size_t length);

// Copies the name of entry `index` with a NUL into `out` (which must hold the
// longest name + 1). False when the index lies outside the table.
bool FunctionName(const ExpressionTable& table, uint16_t index, char* out);

// Length of the longest name (0 for an empty table).
uint16_t LongestName(const ExpressionTable& table);

// The function whose name is a prefix of `text` (`available` bytes), found
// by binary search with every name compared over its own length; null when
// none. `nameLength` receives the matched name's length.
XBEXPRFUNC FindFunction(const ExpressionTable& table, const char* text, size_t available,
                        size_t* nameLength);

// Frees every name block and the table; count and capacity become 0.
void ReleaseFunctionTable(ExpressionTable& table);

}  // namespace kv::xb::expr
