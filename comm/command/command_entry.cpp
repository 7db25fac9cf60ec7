// DLL_bCommande of kvcomm: the host's one entry into the library besides
// the language functions. Blocks the host passes are checked for null so
// that a careless host gets a refusal instead of a crash.

#include <cstring>

#include "chart/ext/command_answers.h"
#include "chart/ext/error_report.h"
#include "comm/command/comm_instance.h"
#include "comm/command/comm_tables.h"
#include "kv/comm_functions.h"

namespace {

enum : int16_t {
  kCreate = 1,
  kDestroy = 2,
  kDescribe = 3,
  kGroupName = 4,
  kDescription = 5,
  kFurtherText = 6,
  kNothing = 7,
  kBindVariable = 8,
  kReleaseError = 9,
  kVersion = 10,
};

constexpr uint16_t kLibraryCode = 10;
constexpr uint32_t kVersionNumber = 5;
constexpr char kTraceFile[] = "c:\\TRACEGRF.TXT";
static_assert(sizeof kTraceFile - 1 <= KV_EXT_TRACE_NAME_LENGTH);

void Describe(ExtensionDescription& description) {
  kv::ext::DescribeTables(description, kv::comm::kFunctionCount, kv::comm::FunctionTable().data(),
                          kv::comm::kConstantCount, kv::comm::ConstantTable().data(), kLibraryCode,
                          kTraceFile);
  description.variableCount = kv::comm::kVariableCount;
  description.variables = kv::comm::VariableTable().data();
}

// A record that counts no texts owns no array: the host may have left the
// address of a block of its own there, so only the record is cleared.
void ReleaseError(ErrorRecord* record) {
  if (record != nullptr && record->textCount == 0) {
    std::memset(record, 0, sizeof *record);
    return;
  }
  kv::ext::ReleaseErrorRecord(record);
}

}  // namespace

int32_t KV_CALL DLL_bCommande(int16_t command, uintptr_t argument, void* block) {
  switch (command) {
    case kCreate: {
      if (block == nullptr) return 0;
      CommInstanceContext* context = kv::comm::CreateCommInstance();
      if (context == nullptr) return 0;
      *static_cast<CommInstanceContext**>(block) = context;
      return 1;
    }
    case kDestroy:
      return kv::comm::DestroyCommInstance(reinterpret_cast<CommInstanceContext*>(argument)) ? 1
                                                                                             : 0;
    case kDescribe:
      if (block == nullptr) return 0;
      Describe(*static_cast<ExtensionDescription*>(block));
      return 1;
    case kGroupName:
      return kv::ext::StoreTextPointer(block, "Internet");
    case kDescription:
      return kv::ext::StoreTextPointer(block, "Internet.");
    case kFurtherText:
      return kv::ext::StoreTextPointer(block, "");
    case kNothing:
      return 1;
    case kBindVariable:
      return kv::comm::BindCommVariable(argument,
                                        static_cast<const kv::comm::BindVariableBlock*>(block));
    case kReleaseError:
      ReleaseError(static_cast<ErrorRecord*>(block));
      return 1;
    case kVersion:
      if (block == nullptr) return 0;
      *static_cast<uint32_t*>(block) = kVersionNumber;
      return 1;
    default:  // 11 and 12 (no language setting), and everything outside 1..12
      return 0;
  }
}
