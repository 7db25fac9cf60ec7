// The stand-in host's own windows: a top-level window with a message loop,
// and fields on it whose pictures live in memory contexts, as the real
// host keeps them.
#pragma once
#include "platform/ui/window_types.h"

namespace kvhost {

class HostWindow {
 public:
  // Registers the classes and makes the window (hidden until Show).
  HostWindow(const char* title, int width, int height);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  bool ok() const { return window_ != nullptr; }
  kvp::HWND window() const { return window_; }
  void Show();

  // A field at (x, y) of the client area with a picture of its own.
  struct Field {
    kvp::HWND window = nullptr;
    kvp::HDC dc = nullptr;
  };
  Field AddField(int x, int y, int width, int height, kvp::COLORREF background);

  // Dispatches what is waiting; answers false once WM_QUIT came.
  bool PumpWaiting();
  // Closes the window and runs the loop until the quit message.
  int CloseAndRun();

 private:
  struct FieldPicture {
    kvp::HWND window;
    kvp::HDC dc;
    kvp::HBITMAP bitmap;
    kvp::HGDIOBJ old;
  };
  kvp::HWND window_ = nullptr;
  FieldPicture fields_[4] = {};
  int fieldCount_ = 0;
  bool quit_ = false;
};

}  // namespace kvhost
