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

// A label's "&" marks its mnemonic: the character after it is shown
// underlined and the "&" itself not; "&&" shows one "&".
struct ButtonLabel {
  char text[256];
  int length = 0;
  int underlined = -1;  // index into text, or -1
};

ButtonLabel ShownLabel(const char* raw, int rawLength) {
  ButtonLabel label;
  for (int i = 0; i < rawLength && label.length < static_cast<int>(sizeof label.text); ++i) {
    if (raw[i] == '&') {
      if (i + 1 >= rawLength) break;
      ++i;
      if (raw[i] != '&' && label.underlined < 0) label.underlined = label.length;
    }
    label.text[label.length++] = raw[i];
  }
  return label;
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
  char raw[256];
  const ButtonLabel label = ShownLabel(raw, GetWindowTextA(button, raw, sizeof(raw)));
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_CENTER | TA_BASELINE);
  const int baseline = client.bottom / 2 + 4;
  TextOutA(dc, client.right / 2, baseline, label.text, label.length);
  SIZE whole{0, 0}, before{0, 0}, through{0, 0};
  if (label.underlined >= 0 && GetTextExtentPoint32A(dc, label.text, label.length, &whole) &&
      GetTextExtentPoint32A(dc, label.text, label.underlined, &before) &&
      GetTextExtentPoint32A(dc, label.text, label.underlined + 1, &through)) {
    const int left = client.right / 2 - whole.cx / 2;
    MoveToEx(dc, left + before.cx, baseline + 2, nullptr);
    LineTo(dc, left + through.cx, baseline + 2);
  }
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
