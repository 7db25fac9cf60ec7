// DLL_bCommande: the host's one entry into the library besides the language
// functions. Blocks the host passes are checked for null so that a careless
// host gets a refusal instead of a crash.

#include "chart/command/instance.h"
#include "chart/command/language_tables.h"
#include "chart/command/variables.h"
#include "chart/ext/command_answers.h"
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
  kv::ext::DescribeTables(description, kv::chart::kFunctionCount, kv::chart::FunctionTable().data(),
                          kv::chart::kConstantCount, kv::chart::ConstantTable().data(),
                          kLibraryCode, kTraceFile);
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
      return kv::ext::StoreTextPointer(block, IsEnglish(argument) ? "Rurized" : "Vuzevuro");
    case kChartCommandDescription:
      return kv::ext::StoreTextPointer(block,
                                       IsEnglish(argument) ? "Rurized.\r\n" : "Vuzevuro.\r\n");
    case kChartCommandFurtherText:
      return kv::ext::StoreTextPointer(block, "");
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
