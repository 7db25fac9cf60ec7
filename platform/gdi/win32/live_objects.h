// Internal (Windows build): the graphic objects counted live
// (GdiLiveObjects): what the layer's calls made, until deleted. The stock
// objects never count; DeleteObject accepts them and keeps them.
#pragma once
#include "platform/gdi/gdi_types.h"

namespace kvp::detail {

void NoteMadeObject();
// After the system deleted the object.
void NoteDeletedObject(HGDIOBJ handle);

// Notes a handle a system call made, null left out; gives it back.
template <typename Handle>
Handle Made(Handle handle) {
  if (handle != nullptr) NoteMadeObject();
  return handle;
}

}  // namespace kvp::detail
