#include "host/host_window.h"

#include "platform/gdi/device_context.h"
#include "platform/gdi/pens_brushes.h"
#include "platform/ui/messages.h"
#include "platform/ui/painting.h"
#include "platform/ui/window.h"

namespace kvhost {

namespace {

constexpr char kHostClass[] = "KvHostWindow";
constexpr char kFieldClass[] = "KvHostField";

kvp::LRESULT HostProcedure(kvp::HWND window, kvp::UINT message, kvp::WPARAM wParam,
                           kvp::LPARAM lParam) {
  if (message == kvp::WM_DESTROY) {
    kvp::PostQuitMessage(0);
    return 0;
  }
  return kvp::DefWindowProcA(window, message, wParam, lParam);
}

// A field shows the picture of its memory context.
kvp::LRESULT FieldProcedure(kvp::HWND window, kvp::UINT message, kvp::WPARAM wParam,
                            kvp::LPARAM lParam) {
  if (message == kvp::WM_PAINT) {
    auto picture = reinterpret_cast<kvp::HDC>(kvp::GetWindowLongPtrA(window, kvp::GWLP_USERDATA));
    kvp::PAINTSTRUCT paint;
    kvp::HDC dc = kvp::BeginPaint(window, &paint);
    if (dc != nullptr) {
      kvp::RECT client;
      kvp::GetClientRect(window, &client);
      kvp::BitBlt(dc, 0, 0, client.right, client.bottom, picture, 0, 0, kvp::SRCCOPY);
      kvp::EndPaint(window, &paint);
    }
    return 0;
  }
  return kvp::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

HostWindow::HostWindow(const char* title, int width, int height) {
  kvp::WNDCLASSA host{};
  host.lpfnWndProc = HostProcedure;
  host.hbrBackground = static_cast<kvp::HBRUSH>(kvp::GetStockObject(kvp::LTGRAY_BRUSH));
  host.lpszClassName = kHostClass;
  kvp::RegisterClassA(&host);
  kvp::WNDCLASSA field{};
  field.lpfnWndProc = FieldProcedure;
  field.lpszClassName = kFieldClass;
  kvp::RegisterClassA(&field);
  window_ = kvp::CreateWindowExA(0, kHostClass, title, kvp::WS_OVERLAPPEDWINDOW, kvp::CW_USEDEFAULT,
                                 0, width, height, nullptr, nullptr, nullptr, nullptr);
}

HostWindow::~HostWindow() {
  if (kvp::IsWindow(window_)) kvp::DestroyWindow(window_);
  for (int i = 0; i < fieldCount_; ++i) {
    kvp::SelectObject(fields_[i].dc, fields_[i].old);
    kvp::DeleteObject(fields_[i].bitmap);
    kvp::DeleteDC(fields_[i].dc);
  }
  // Whatever the loop left (the quit message of a window closed here).
  kvp::MSG message;
  while (kvp::PeekMessageA(&message, nullptr, 0, 0, kvp::PM_REMOVE)) {
  }
  kvp::UnregisterClassA(kFieldClass, nullptr);
  kvp::UnregisterClassA(kHostClass, nullptr);
}

void HostWindow::Show() {
  kvp::ShowWindow(window_, kvp::SW_SHOWNORMAL);
  kvp::UpdateWindow(window_);
}

HostWindow::Field HostWindow::AddField(int x, int y, int width, int height,
                                       kvp::COLORREF background) {
  if (fieldCount_ == 4 || window_ == nullptr) return Field{};
  FieldPicture& field = fields_[fieldCount_];
  field.window = kvp::CreateWindowExA(0, kFieldClass, "", kvp::WS_CHILD | kvp::WS_VISIBLE, x, y,
                                      width, height, window_, nullptr, nullptr, nullptr);
  if (field.window == nullptr) return Field{};
  ++fieldCount_;
  field.dc = kvp::CreateCompatibleDC(nullptr);
  field.bitmap = kvp::CreateCompatibleBitmap(field.dc, width, height);
  field.old = kvp::SelectObject(field.dc, field.bitmap);
  kvp::HBRUSH brush = kvp::CreateSolidBrush(background);
  const kvp::RECT whole{0, 0, width, height};
  kvp::FillRect(field.dc, &whole, brush);
  kvp::DeleteObject(brush);
  kvp::SetWindowLongPtrA(field.window, kvp::GWLP_USERDATA,
                         reinterpret_cast<kvp::LONG_PTR>(field.dc));
  kvp::InvalidateRect(field.window, nullptr, kvp::FALSE_);
  return Field{field.window, field.dc};
}

bool HostWindow::PumpWaiting() {
  kvp::MSG message;
  while (!quit_ && kvp::PeekMessageA(&message, nullptr, 0, 0, kvp::PM_REMOVE)) {
    if (message.message == kvp::WM_QUIT) {
      quit_ = true;
      break;
    }
    kvp::TranslateMessage(&message);
    kvp::DispatchMessageA(&message);
  }
  return !quit_;
}

int HostWindow::CloseAndRun() {
  if (quit_) return 0;
  kvp::PostMessageA(window_, kvp::WM_CLOSE, 0, 0);
  kvp::MSG message;
  int result;
  while ((result = kvp::GetMessageA(&message, nullptr, 0, 0)) > 0) {
    kvp::TranslateMessage(&message);
    kvp::DispatchMessageA(&message);
  }
  quit_ = true;
  return result < 0 ? 1 : static_cast<int>(message.wParam);
}

}  // namespace kvhost
