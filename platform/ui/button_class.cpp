// The predefined "BUTTON" class: a push button that tells its parent
// BN_CLICKED when released over itself after being pressed.
#include <cstring>

#include "platform/gdi/device_context.h"
#include "platform/gdi/pens_brushes.h"
#include "platform/ui/messages.h"
#include "platform/ui/painting.h"
#include "platform/ui/window.h"
#include "platform/ui/window_state.h"

namespace kvp::detail {

namespace {

constexpr int kPressedSlot = 0;  // extra window bytes: 1 while pressed

void NotifyParent(HWND button) {
  HWND parent = GetParent(button);
  const auto id = static_cast<WORD>(GetWindowLongPtrA(button, GWLP_ID));
  if (parent != nullptr) {
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  }
}

void Paint(HWND button) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(button, &paint);
  if (dc == nullptr) return;
  RECT client;
  GetClientRect(button, &client);
  const bool pressed = GetWindowLongPtrA(button, kPressedSlot) != 0;
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(pressed ? GRAY_BRUSH : LTGRAY_BRUSH));
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  Rectangle(dc, client.left, client.top, client.right, client.bottom);
  char text[256];
  const int length = GetWindowTextA(button, text, sizeof(text));
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_CENTER | TA_BASELINE);
  TextOutA(dc, client.right / 2, client.bottom / 2 + 4, text, length);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  EndPaint(button, &paint);
}

}  // namespace

LRESULT ButtonProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      SetWindowLongPtrA(window, kPressedSlot, 1);
      SetCapture(window);
      InvalidateRect(window, nullptr, FALSE_);
      return 0;
    case WM_LBUTTONUP: {
      const bool pressed = GetWindowLongPtrA(window, kPressedSlot) != 0;
      SetWindowLongPtrA(window, kPressedSlot, 0);
      if (GetCapture() == window) ReleaseCapture();
      InvalidateRect(window, nullptr, FALSE_);
      RECT client;
      GetClientRect(window, &client);
      const int x = GET_X_LPARAM(lParam);
      const int y = GET_Y_LPARAM(lParam);
      if (pressed && x >= 0 && y >= 0 && x < client.right && y < client.bottom) {
        NotifyParent(window);
      }
      return 0;
    }
    case BM_CLICK:
      NotifyParent(window);
      return 0;
    case WM_PAINT:
      Paint(window);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace kvp::detail
