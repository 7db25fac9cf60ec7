#include "image/frame/wait_window.h"

#include <cstdio>
#include <cstring>

#include "image/frame/library_state.h"
#include "image/frame/report.h"
#include "image/frame/wait_class.h"
#include "image/frame/wait_settings.h"
#include "image/read/progress.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/pens_brushes.h"
#include "platform/ui/message_box.h"
#include "platform/ui/messages.h"
#include "platform/ui/painting.h"
#include "platform/ui/window.h"

namespace kvimg {

namespace {

using namespace kvp;

constexpr const char* kClassName = "KV50XIMG";
constexpr int kWidth = 200;
constexpr int kHeight = 120;
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGrey = RGB(128, 128, 128);

struct WaitState {
  HWND window = nullptr;
  HWND button = nullptr;
  WNDPROC buttonProcedure = nullptr;
  bool goOn = true;
  unsigned percent = 0;
  WaitWindowObserver observer = nullptr;
};

WaitState& Wait() {
  static WaitState state;
  return state;
}

// The bar: the client area narrowed by 20 pixels left and right, from 20 to
// 42 pixels below its top.
RECT BarRect(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return RECT{client.left + 20, client.top + 20, client.right - 20, client.top + 42};
}

void Line(HDC dc, int x1, int y1, int x2, int y2) {
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

// The bar's frame: black one pixel outside, then twice, each one pixel
// further out, white along the bottom and right and grey along the left and
// top (a sunken edge).
void PaintFrame(HDC dc, const RECT& bar) {
  const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  const HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  Rectangle(dc, bar.left - 1, bar.top - 1, bar.right + 1, bar.bottom + 1);
  const HPEN white = CreatePen(PS_SOLID, 1, kWhite);
  const HPEN grey = CreatePen(PS_SOLID, 1, kGrey);
  for (int out = 2; out <= 3; ++out) {
    const int left = bar.left - out, top = bar.top - out;
    const int right = bar.right + out - 1, bottom = bar.bottom + out - 1;
    SelectObject(dc, white);
    Line(dc, left, bottom, right + 1, bottom);
    Line(dc, right, top, right, bottom);
    SelectObject(dc, grey);
    Line(dc, left, top, right, top);
    Line(dc, left, top, left, bottom);
  }
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(white);
  DeleteObject(grey);
}

// One colouring of the whole bar with its text centred, drawn off screen.
HDC PaintedBar(HDC screen, int width, int height, COLORREF back, COLORREF text, const char* label,
               HBITMAP& bitmap) {
  const HDC dc = CreateCompatibleDC(screen);
  bitmap = CreateCompatibleBitmap(screen, width, height);
  SelectObject(dc, bitmap);
  const HBRUSH brush = CreateSolidBrush(back);
  const RECT all{0, 0, width, height};
  FillRect(dc, &all, brush);
  DeleteObject(brush);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, text);
  SIZE extent{};
  const int length = static_cast<int>(std::strlen(label));
  GetTextExtentPoint32A(dc, label, length, &extent);
  TextOutA(dc, (width - extent.cx) / 2, (height - extent.cy) / 2, label, length);
  return dc;
}

// The percentage as text centred in the bar: white on blue left of
// percent x width / 100, blue on white right of it. Each side is copied
// from its own off-screen colouring, as clipped opaque text output would
// draw it.
void PaintBar(HWND window, unsigned percent) {
  const HDC dc = GetWindowClientDC(window);
  if (dc == nullptr) return;
  const RECT bar = BarRect(window);
  const int width = bar.right - bar.left, height = bar.bottom - bar.top;
  if (width > 0 && height > 0) {
    char label[8];
    std::snprintf(label, sizeof label, "%u%%", percent);
    HBITMAP doneBitmap = nullptr, restBitmap = nullptr;
    const HDC done = PaintedBar(dc, width, height, kBlue, kWhite, label, doneBitmap);
    const HDC rest = PaintedBar(dc, width, height, kWhite, kBlue, label, restBitmap);
    const int split = static_cast<int>(static_cast<long>(width) * percent / 100);
    if (split > 0) BitBlt(dc, bar.left, bar.top, split, height, done, 0, 0, SRCCOPY);
    if (split < width)
      BitBlt(dc, bar.left + split, bar.top, width - split, height, rest, split, 0, SRCCOPY);
    DeleteDC(done);
    DeleteDC(rest);
    DeleteObject(doneBitmap);
    DeleteObject(restBitmap);
    PaintFrame(dc, bar);
  }
  ReleaseDC(window, dc);
}

LRESULT KVP_CALLBACK WaitProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      PaintBar(window, Wait().percent);
      return 0;
    }
    case WM_DESTROY: {
      RECT where{};
      if (GetWindowRect(window, &where)) SaveWaitPosition({where.left, where.top});
      return 0;
    }
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

// The button's own procedure, watched for the left button's release
// inside it: a press inside and a release outside does not cancel.
LRESULT KVP_CALLBACK CancelProcedure(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONUP) {
    RECT client{};
    GetClientRect(button, &client);
    const int x = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam)));
    const int y = static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lParam)));
    if (x >= client.left && y >= client.top && x < client.right && y < client.bottom)
      Wait().goOn = false;
  }
  return CallWindowProcA(Wait().buttonProcedure, button, message, wParam, lParam);
}

// A new percentage: show the window when hidden (topmost, where it is),
// paint the bar, and let the thread's messages through.
bool WaitProgress(unsigned percent, void*) {
  WaitState& wait = Wait();
  if (wait.window == nullptr) return true;
  wait.percent = percent;
  if (!IsWindowVisible(wait.window)) {
    SetWindowPos(wait.window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    if (wait.observer != nullptr) wait.observer(wait.window, wait.button);
  }
  PaintBar(wait.window, percent);
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return wait.goOn;
}

}  // namespace

bool RegisterWaitClass(void* hostInstance) {
  WNDCLASSA windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WaitProcedure;
  windowClass.cbWndExtra = 2;
  windowClass.hInstance = hostInstance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_WAIT);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  windowClass.lpszClassName = kClassName;
  if (RegisterClassA(&windowClass) != 0) return true;
  // A second instance of the host finds the class there already.
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void UnregisterWaitClass() {
  DestroyWaitWindow();
  UnregisterClassA(kClassName, State().hostInstance);
}

bool CreateWaitWindow(HWND owner) {
  DestroyWaitWindow();
  if (!WaitWindowWanted()) return false;
  const WaitPosition at =
      ReadWaitPosition(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  WaitState& wait = Wait();
  const HINSTANCE instance = State().hostInstance;
  wait.window = CreateWindowExA(WS_EX_TOPMOST, kClassName, "Wait ...", WS_POPUP | WS_CAPTION, at.x,
                                at.y, kWidth, kHeight, owner, nullptr, instance, nullptr);
  if (wait.window == nullptr) return false;
  wait.button =
      CreateWindowExA(0, "BUTTON", "&Cancel", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 50, 62, 100,
                      25, wait.window, reinterpret_cast<HMENU>(IDCANCEL), instance, nullptr);
  if (wait.button == nullptr) {
    DestroyWaitWindow();
    return false;
  }
  wait.buttonProcedure = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wait.button, GWLP_WNDPROC));
  SetWindowLongPtrA(wait.button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CancelProcedure));
  wait.goOn = true;
  wait.percent = 0;
  SetProgressSink(&WaitProgress, nullptr);
  SetBeforeMessageHook(&DestroyWaitWindow);
  return true;
}

void SetWaitWindowName(const char* name) {
  WaitState& wait = Wait();
  if (wait.window == nullptr || name == nullptr) return;
  const char* shown = name;
  const char* backslash = std::strrchr(name, '\\');
  const char* slash = std::strrchr(name, '/');
  const char* separator = backslash > slash ? backslash : slash;
  if (separator != nullptr) {
    shown = separator + 1;
  } else if (const char* colon = std::strrchr(name, ':')) {
    shown = colon + 1;
  }
  SetWindowTextA(wait.window, shown);
}

void DestroyWaitWindow() {
  WaitState& wait = Wait();
  if (wait.window == nullptr) return;
  const HWND window = wait.window;
  wait.window = nullptr;
  wait.button = nullptr;
  SetProgressSink(nullptr, nullptr);
  SetBeforeMessageHook(nullptr);
  DestroyWindow(window);
}

HWND WaitWindowHandle() {
  return Wait().window;
}
HWND WaitCancelButton() {
  return Wait().button;
}
void SetWaitWindowObserver(WaitWindowObserver observer) {
  Wait().observer = observer;
}
void PaintWaitBar(unsigned percent) {
  if (Wait().window != nullptr) PaintBar(Wait().window, percent);
}

}  // namespace kvimg
