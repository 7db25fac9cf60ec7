#include "platform/gdi/win32/live_objects.h"

#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/win32/gdi32.h"
#include "platform/kernel/win32/live_counts.h"

namespace kvp {

namespace detail {

namespace {

// The stock objects' numbers run from WHITE_BRUSH (0) to DC_PEN (19).
bool IsStockObject(HGDIOBJ handle) {
  for (int which = 0; which <= 19; ++which)
    if (win32::GetStockObject(which) == handle) return true;
  return false;
}

}  // namespace

void NoteMadeObject() {
  AddLive(LiveCount::GdiObjects, 1);
}

void NoteDeletedObject(HGDIOBJ handle) {
  if (!IsStockObject(handle)) AddLive(LiveCount::GdiObjects, -1);
}

}  // namespace detail

size_t GdiLiveObjects() {
  return detail::LiveTotal(detail::LiveCount::GdiObjects);
}

}  // namespace kvp
