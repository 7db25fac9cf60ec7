// Internal (Windows build): the graphic objects this copy of the layer made
// and has not yet deleted, which GdiLiveObjects counts. The system keeps no
// such count that every system answers (GetGuiResources is not one Wine
// implements), and the stock objects, which DeleteObject accepts and keeps,
// must never count: so the layer notes each handle it made.
#pragma once
#include "platform/gdi/gdi_types.h"

namespace kvp::detail {

void NoteMadeObject(HGDIOBJ handle);
// Whether the handle was one the layer made (it is no longer noted).
bool NoteDeletedObject(HGDIOBJ handle);

// Notes a handle a system call made, null left out; gives it back.
template <typename Handle>
Handle Made(Handle handle) {
  if (handle != nullptr) NoteMadeObject(handle);
  return handle;
}

}  // namespace kvp::detail
