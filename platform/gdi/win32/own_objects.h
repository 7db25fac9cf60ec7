// Internal (Windows build): the graphic objects the platform keeps itself
// (see system_handles.cpp).
#pragma once
#include "platform/gdi/dc_object.h"

namespace kvp::detail {

std::shared_ptr<GdiObject> FindOwnObject(HGDIOBJ handle);

// The metafile recorder behind the context, or null for a system context.
inline std::shared_ptr<DeviceContext> FindRecorder(HDC dc) {
  return std::dynamic_pointer_cast<DeviceContext>(FindOwnObject(dc));
}

}  // namespace kvp::detail
