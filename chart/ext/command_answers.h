// What the libraries' DLL_bCommande answer alike: the description of
// command 3 and the texts of commands 4 to 6.
#pragma once
#include <cstdint>

#include "kv/ext_protocol.h"

namespace kv::ext {

// Fills the function and constant tables, the library code and the trace
// file name (zero-filled after the text, cut to its field) of command 3.
// The variable table is the caller's to fill when it has one: a library
// without variables leaves those fields as the host gave them.
void DescribeTables(ExtensionDescription& description, uint16_t functionCount,
                    const FunctionEntry* functions, uint16_t constantCount,
                    const ConstantEntry* constants, uint16_t libraryCode, const char* traceFile);

// Commands 4 to 6 hand back a text of the library's own: 1, or 0 for a
// null block.
int32_t StoreTextPointer(void* block, const char* text);

}  // namespace kv::ext
