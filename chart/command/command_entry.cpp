// DLL_bCommande: the host's one entry into the library besides the language
// functions. Blocks the host passes are checked for null so that a careless
// host gets a refusal instead of a crash.
#include <cstring>

#include "chart/command/instance.h"
#include "chart/command/language_tables.h"
#include "chart/command/variables.h"
#include "chart/ext/error_report.h"
#include "kv/chart.h"

namespace {

constexpr uint16_t kLibraryCode = 6;
constexpr uint32_t kVersion = 5;
constexpr char kTraceFile[] = "c:\\TRACEGRF.TXT";
static_assert(sizeof kTraceFile - 1 <= KV_EXT_TRACE_NAME_LENGTH);

bool IsEnglish(uintptr_t language) {
  return language == kLanguageEnglish;
}

void Describe(ExtensionDescription& description) {
  description.functionCount = kv::chart::kFunctionCount;
  description.functions = kv::chart::FunctionTable().data();
  description.constantCount = kv::chart::kConstantCount;
  description.constants = kv::chart::ConstantTable().data();
  description.libraryCode = kLibraryCode;
  std::memset(description.traceFile, 0, sizeof description.traceFile);
  std::memcpy(description.traceFile, kTraceFile, sizeof kTraceFile - 1);
  description.traceFileEnd = '\0';
}

int32_t StoreText(void* block, const char* text) {
  if (block == nullptr) return 0;
  *static_cast<const char**>(block) = text;
  return 1;
}

}  // namespace

KV_API int32_t KV_CALL DLL_bCommande(int16_t command, uintptr_t argument, void* block) {
  switch (command) {
    case kChartCommandCreate: {
      if (block == nullptr) return 0;
      InstanceContext* context = kv::chart::CreateInstance();
      if (context == nullptr) return 0;
      *static_cast<InstanceContext**>(block) = context;
      return 1;
    }
    case kChartCommandDestroy:
      return kv::chart::DestroyInstance(reinterpret_cast<InstanceContext*>(argument)) ? 1 : 0;
    case kChartCommandDescribe:
      if (block == nullptr) return 0;
      Describe(*static_cast<ExtensionDescription*>(block));
      return 1;
    case kChartCommandGroupName:
      return StoreText(block, IsEnglish(argument) ? "Rurized" : "Vuzevuro");
    case kChartCommandDescription:
      return StoreText(block, IsEnglish(argument) ? "Rurized.\r\n" : "Vuzevuro.\r\n");
    case kChartCommandFurtherText:
      return StoreText(block, "");
    case kChartCommandNothing:
      return 1;
    case kChartCommandBindVariable:
      return kv::chart::BindVariable(argument, static_cast<kv::chart::BindVariableBlock*>(block));
    case kChartCommandReleaseError:
      kv::ext::ReleaseErrorRecord(static_cast<ErrorRecord*>(block));
      return 1;
    case kChartCommandVersion:
      if (block == nullptr) return 0;
      *static_cast<uint32_t*>(block) = kVersion;
      return 1;
    case kChartCommandSetLanguage:
      if (block == nullptr) return 0;
      static_cast<InstanceContext*>(block)->language = static_cast<uint16_t>(argument & 0xFFFF);
      return 1;
    default:  // 11 and everything outside 1..12
      return 0;
  }
}
