// Starting and ending the engine, the status code and the log settings.
#include <cstring>

#include "xbase/expr/function_table.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/families.h"
#include "xbase/frame/file_layer.h"
#include "xbase/frame/select.h"
#include "xbase/frame/settings.h"
#include "xbase/frame/text.h"

using namespace kv::xb;

namespace {
constexpr const char* kModule = "Init";
constexpr int kMaxFiles = 100;
constexpr int kReservedFiles = 5;

// Whether this process's context holds a reference on the file layer (the
// start can stop before taking it).
bool holdsFileTable = false;
}  // namespace

KV_API XBSTATUS KV_CALL XBDTERM(void) {
  ClientContext* context = FindContext();
  if (context == nullptr) return XB_E_NOT_STARTED;
  MakeCurrent(context);
  HandleTable& table = context->handles;
  for (int i = 0; i < table.SlotCount(); ++i) {
    context->status = 0;
    const SlotType type = table.Get(i)->type;
    if (type != SlotType::Free) CloseByType(type, static_cast<XBHANDLE>(i));
  }
  table.Release();
  // The named functions' table and their name blocks.
  expr::ReleaseFunctionTable(context->expressions);
  RemoveContext(context);
  if (holdsFileTable) {
    os::ReleaseTable();
    holdsFileTable = false;
  }
  return 0;
}

KV_API XBSTATUS KV_CALL XBDINIT(int16_t files, int16_t dateStyle) {
  if (FindContext() != nullptr) XBDTERM();
  ClientContext& context = AddContext();
  context.logMode = 0;
  const int lowByte = dateStyle & 0xFF;
  context.dateStyle =
      static_cast<uint16_t>(lowByte >= 1 && lowByte <= 15 ? lowByte : DateStyleFromSettings());
  if (files < kReservedFiles) return XB_FAIL(XB_E_HANDLE);
  const int slots = (files < kMaxFiles ? files : kMaxFiles) - kReservedFiles;
  if (!context.handles.Allocate(slots)) return XB_FAIL(XB_E_MEMORY);
  if (!os::AcquireTable()) return XB_FAIL(XB_E_MEMORY);
  holdsFileTable = true;
  ReadAsciiSort();
  context.status = 0;
  return 0;
}

KV_API int32_t KV_CALL KV5InitInstance(uint32_t instance, uint32_t unused) {
  (void)instance;
  return XBDINIT(kMaxFiles, 0) == 0 ? 1 : 0;
}

KV_API XBSTATUS KV_CALL XBDQCLOSE(void) {
  // Not refused after an error: the quick close resets the code for each
  // handle anyway, and a host calls it whenever it gives up the files.
  ClientContext* context = FindContext();
  if (context == nullptr) return XB_E_NOT_STARTED;
  MakeCurrent(context);
  QuickCloseAll();
  return SetState(0);
}

KV_API XBSTATUS KV_CALL XBDVERSION(int16_t version) {
  XB_ENTER();
  if (version != 3) return XB_FAIL(XB_E_FORMAT);
  return Status();
}

KV_API XBSTATUS KV_CALL XBECODE(void) {
  ClientContext* context = FindContext();
  return context == nullptr ? XB_E_NOT_STARTED : context->status;
}

KV_API XBSTATUS KV_CALL XBESCODE(int16_t code) {
  ClientContext* context = FindContext();
  if (context == nullptr) return XB_E_NOT_STARTED;
  context->status = code;
  return code;
}

KV_API XBSTATUS KV_CALL XBESLOG(int16_t mode, const char* logFile) {
  XB_ENTER(Warnings::Keep);
  if (mode == 1) {
    if (logFile == nullptr) return XB_FAIL(XB_E_NULL);
    ClientContext& context = Current();
    const size_t n = BoundedLength(logFile, sizeof context.logFile - 1);
    std::memset(context.logFile, 0, sizeof context.logFile);
    std::memcpy(context.logFile, logFile, n);
  }
  Current().logMode = static_cast<uint16_t>(mode);
  return Status();
}
