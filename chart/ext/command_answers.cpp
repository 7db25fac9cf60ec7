#include "chart/ext/command_answers.h"

#include <algorithm>
#include <cstring>

namespace kv::ext {

void DescribeTables(ExtensionDescription& description, uint16_t functionCount,
                    const FunctionEntry* functions, uint16_t constantCount,
                    const ConstantEntry* constants, uint16_t libraryCode, const char* traceFile) {
  description.functionCount = functionCount;
  description.functions = functions;
  description.constantCount = constantCount;
  description.constants = constants;
  description.libraryCode = libraryCode;
  std::memset(description.traceFile, 0, sizeof description.traceFile);
  const size_t length = std::min(std::strlen(traceFile), sizeof description.traceFile);
  std::memcpy(description.traceFile, traceFile, length);
  description.traceFileEnd = '\0';
}

int32_t StoreTextPointer(void* block, const char* text) {
  if (block == nullptr) return 0;
  *static_cast<const char**>(block) = text;
  return 1;
}

}  // namespace kv::ext
