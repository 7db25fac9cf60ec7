// Closing a data file; a modified file gets today's date as its last update.
#include "platform/kernel/system.h"
#include "xbase/dbf/data_file.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"

using namespace kv::xb;
using namespace kv::xb::dbf;

namespace {
constexpr const char* kModule = "DCLOSE";

XBSTATUS WriteUpdateDate(DataFile& file) {
  kvp::SYSTEMTIME now;
  kvp::GetLocalTime(&now);
  uint8_t* date = file.header + kOffUpdateYear;
  date[0] = static_cast<uint8_t>(now.wYear - 1900);
  date[1] = static_cast<uint8_t>(now.wMonth);
  date[2] = static_cast<uint8_t>(now.wDay);
  XBSTATUS s = os::Seek(file.fileNo, kOffUpdateYear);
  if (s == 0) s = os::Write(file.fileNo, date, 3, file.flushFlag != 0);
  return s;
}
}  // namespace

KV_API XBSTATUS KV_CALL XBDDCLOSE(XBHANDLE handle) {
  XB_ENTER();
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  if (file->modified) {
    file->modified = false;
    XBSTATUS s = WriteUpdateDate(*file);
    if (s < 0) return s;
  }
  file->ReleaseViews();
  XBSTATUS s = os::Close(file->fileNo);
  if (s < 0) return s;  // the handle stays open
  Current().handles.Free(handle);
  return Status();
}
