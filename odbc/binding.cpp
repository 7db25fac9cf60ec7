// Loading and unloading the driver manager, and the host's entries.
#include <cstddef>
#include <cstdlib>
#include <new>

#include "kv/odbc.h"
#include "odbc/calls.h"
#include "platform/kernel/files.h"
#include "platform/kernel/system.h"

namespace {

// The entry points every operation relies on, in the order of the binding's
// slots; the lookup stops at the first one missing.
constexpr const char* kRequiredNames[kOdbcRequiredFunctions] = {
    "SQLDisconnect",    "SQLFreeConnect",   "SQLFreeEnv",    "SQLFreeStmt",  "SQLNumResultCols",
    "SQLConnect",       "SQLAllocConnect",  "SQLAllocEnv",   "SQLAllocStmt", "SQLExecDirect",
    "SQLExecute",       "SQLPrepare",       "SQLFetch",      "SQLGetData",   "SQLError",
    "SQLDataSources",   "SQLTables",        "SQLBindCol",    "SQLColumns",   "SQLDescribeCol",
    "SQLColAttributes", "SQLDriverConnect", "SQLProcedures", "SQLTransact",  "SQLSetConnectOption",
    "SQLGetTypeInfo",   "SQLSetParam",      "SQLParamData",  "SQLPutData",   "SQLGetInfo",
    "SQLSetStmtOption"};

void** SlotAt(OdbcBinding* binding, int index) {
  return &binding->pSQLDisconnect + index;
}

void* hostRecord = nullptr;

// unixODBC's configuration library caches what it reads of odbc.ini and
// odbcinst.ini and never frees it; it is loaded with each driver and
// unloaded with it, so every connection would lose that memory. The first
// driver manager loaded and the configuration library keep one reference
// each for the life of the process, and later loads reuse their cache.
void PinFirstManager() {
  static const kvp::HMODULE manager = kvp::LoadLibraryA("odbc32.dll");
  static const kvp::HMODULE configuration = kvp::LoadLibraryA("odbccp32.dll");
  (void)manager;
  (void)configuration;
}

// The Windows error mode that keeps a missing file from raising a dialog.
constexpr kvp::UINT kNoOpenFileErrorBox = 0x8000;

}  // namespace

KV_API int32_t KV_CALL OD_bChargeODBC(OdbcBinding** binding, int32_t* error) {
  if (binding == nullptr) return 0;
  *binding = nullptr;
  const kvp::UINT previous = kvp::SetErrorMode(kNoOpenFileErrorBox);
  const kvp::HMODULE module = kvp::LoadLibraryA("odbc32.dll");
  const kvp::DWORD loadError = kvp::GetLastError();
  kvp::SetErrorMode(previous);
  if (module == nullptr) {
    if (error != nullptr) *error = static_cast<int32_t>(loadError);
    return 0;
  }
  auto* record = static_cast<OdbcBinding*>(std::calloc(1, sizeof(OdbcBinding)));
  if (record == nullptr) {
    kvp::FreeLibrary(module);
    if (error != nullptr) *error = -1;
    return 0;
  }
  record->module = module;
  for (int i = 0; i < kOdbcRequiredFunctions; ++i) {
    record->names[i].name = kRequiredNames[i];
    record->names[i].slot = SlotAt(record, i);
  }
  for (const OdbcNameSlot& entry : record->names) {
    *entry.slot = kvp::GetProcAddress(module, entry.name);
    if (*entry.slot == nullptr) {
      std::free(record);
      kvp::FreeLibrary(module);
      if (error != nullptr) *error = -1;
      return 0;
    }
  }
  record->pSQLBindParameter = kvp::GetProcAddress(module, "SQLBindParameter");
  record->pSQLSetPos = kvp::GetProcAddress(module, "SQLSetPos");
  PinFirstManager();
  if (error != nullptr) *error = 0;
  *binding = record;
  return 1;
}

KV_API int32_t KV_CALL OD_bDechargeODBC(OdbcBinding** binding) {
  if (binding == nullptr || !kvodbc::Usable(*binding)) return 0;
  OdbcBinding* record = *binding;
  if (record->environment != nullptr) {
    ODBC_CALL(record, SQLFreeEnv, static_cast<SQLHENV>(record->environment));
    record->environment = nullptr;
  }
  kvp::FreeLibrary(static_cast<kvp::HMODULE>(record->module));
  std::free(record);
  *binding = nullptr;
  return 1;
}

KV_API int32_t KV_CALL KV4InitInstance(uint32_t, void* record) {
  hostRecord = record;
  return record != nullptr ? 1 : 0;
}

KV_API int32_t KV_CALL KV4ExitInstance(void) {
  return 1;
}
