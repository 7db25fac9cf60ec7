// What a window does with the messages its procedure leaves alone.
#include <algorithm>
#include <cstring>

#include "platform/gdi/device_context.h"
#include "platform/ui/messages.h"
#include "platform/ui/painting.h"
#include "platform/ui/window.h"
#include "platform/ui/window_state.h"

namespace kvp {

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      return TRUE_;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      if (BeginPaint(window, &paint) != nullptr) EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND: {
      HBRUSH brush = nullptr;
      RECT client{};
      {
        std::lock_guard<std::mutex> hold(detail::Ui().mutex);
        auto found = detail::FindWindowLocked(window);
        if (!found) return 0;
        brush = found->windowClass->record.hbrBackground;
        const SIZE size = detail::ClientSize(*found);
        client = RECT{0, 0, size.cx, size.cy};
      }
      if (brush == nullptr || GetObjectType(brush) != OBJ_BRUSH) return 0;
      FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
      return 1;
    }
    case WM_RBUTTONUP: {
      POINT screen{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(window, &screen);
      SendMessageA(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window),
                   MAKELPARAM(static_cast<WORD>(screen.x), static_cast<WORD>(screen.y)));
      return 0;
    }
    case WM_CONTEXTMENU: {
      // A child leaves the menu to its parent.
      HWND parent = nullptr;
      {
        std::lock_guard<std::mutex> hold(detail::Ui().mutex);
        auto found = detail::FindWindowLocked(window);
        if (found) parent = found->parent;
      }
      if (parent != nullptr) return SendMessageA(parent, WM_CONTEXTMENU, wParam, lParam);
      return 0;
    }
    case WM_SETTEXT:
      return SetWindowTextA(window, reinterpret_cast<const char*>(lParam));
    case WM_GETTEXT:
      return GetWindowTextA(window, reinterpret_cast<char*>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH: {
      std::lock_guard<std::mutex> hold(detail::Ui().mutex);
      auto found = detail::FindWindowLocked(window);
      return found ? static_cast<LRESULT>(found->title.size()) : 0;
    }
    default:
      return 0;
  }
}

}  // namespace kvp
