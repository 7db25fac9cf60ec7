// Windows build: the handles of the objects the platform keeps itself (the
// metafile recorder's contexts and the metafiles it made), and the records of
// the system's pens, brushes and fonts for the recorder.
//
// The recorder writes its own records, so that a metafile has the same bytes
// whichever system recorded it; every other context is the system's. To tell
// them apart, each recorder's handle is one the system gave out itself: a
// real metafile context (or a closed real metafile for a finished recording)
// made for nothing but its value, which no other live graphic object can
// share. It is released with the object it stands for.
#include <map>
#include <mutex>

#include "platform/gdi/gdi_records.h"
#include "platform/gdi/win32/gdi32.h"
#include "platform/gdi/win32/live_objects.h"

namespace kvp::detail {

namespace {

struct OwnObjects {
  std::mutex mutex;
  std::map<HGDIOBJ, std::shared_ptr<GdiObject>> objects;
};

OwnObjects& Own() {
  static auto* own = new OwnObjects;  // never destroyed: objects may go at exit
  return *own;
}

using FontObject = RecordObject<LOGFONTA, OBJ_FONT>;

// A description of one of the system's pens, brushes or fonts, read back
// as the system keeps it.
template <typename Object, typename Record>
std::shared_ptr<GdiObject> Describe(HGDIOBJ handle) {
  Record record{};
  if (win32::GetObjectA(handle, sizeof record, &record) != static_cast<int>(sizeof record))
    return nullptr;
  return std::make_shared<Object>(record);
}

}  // namespace

HGDIOBJ RegisterGdiObject(std::shared_ptr<GdiObject> object) {
  if (!object) return nullptr;
  HGDIOBJ handle = nullptr;
  HDC reserved = win32::CreateMetaFileA(nullptr);
  if (reserved == nullptr) return nullptr;
  if (object->Type() == OBJ_METADC) {
    handle = reserved;
  } else {
    handle = win32::CloseMetaFile(reserved);
    if (handle == nullptr) return nullptr;
  }
  std::lock_guard<std::mutex> hold(Own().mutex);
  Own().objects[handle] = std::move(object);
  return detail::Made(handle);
}

std::shared_ptr<GdiObject> UnregisterGdiObject(HGDIOBJ handle) {
  std::shared_ptr<GdiObject> object;
  {
    std::lock_guard<std::mutex> hold(Own().mutex);
    auto found = Own().objects.find(handle);
    if (found == Own().objects.end()) return nullptr;
    object = std::move(found->second);
    Own().objects.erase(found);
  }
  NoteDeletedObject(handle);
  if (object->Type() == OBJ_METADC) {
    win32::DeleteMetaFile(win32::CloseMetaFile(static_cast<HDC>(handle)));
  } else {
    win32::DeleteMetaFile(static_cast<HMETAFILE>(handle));
  }
  return object;
}

std::shared_ptr<GdiObject> LookUpGdiObject(HGDIOBJ handle) {
  {
    std::lock_guard<std::mutex> hold(Own().mutex);
    auto found = Own().objects.find(handle);
    if (found != Own().objects.end()) return found->second;
  }
  switch (win32::GetObjectType(handle)) {
    case OBJ_PEN:
      return Describe<PenObject, LOGPEN>(handle);
    case OBJ_BRUSH:
      return Describe<BrushObject, LOGBRUSH>(handle);
    case OBJ_FONT:
      return Describe<FontObject, LOGFONTA>(handle);
    default:
      return nullptr;
  }
}

// The platform's own object behind the handle (a recorder or a finished
// metafile), or null for the system's objects.
std::shared_ptr<GdiObject> FindOwnObject(HGDIOBJ handle) {
  std::lock_guard<std::mutex> hold(Own().mutex);
  auto found = Own().objects.find(handle);
  return found == Own().objects.end() ? nullptr : found->second;
}

}  // namespace kvp::detail
