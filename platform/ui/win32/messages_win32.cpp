// Messages, message loops and timers on Windows: each call goes straight to the system.
#include "platform/ui/messages.h"
#include "platform/ui/win32/user32.h"

namespace kvp {

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return win32::PostMessageA(window, message, wParam, lParam);
}

BOOL PostThreadMessageA(DWORD thread, UINT message, WPARAM wParam, LPARAM lParam) {
  return win32::PostThreadMessageA(thread, message, wParam, lParam);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return win32::SendMessageA(window, message, wParam, lParam);
}

BOOL PeekMessageA(MSG* message, HWND window, UINT min, UINT max, UINT remove) {
  return win32::PeekMessageA(message, window, min, max, remove);
}

BOOL GetMessageA(MSG* message, HWND window, UINT min, UINT max) {
  return win32::GetMessageA(message, window, min, max);
}

BOOL WaitMessage() {
  return win32::WaitMessage();
}

LRESULT DispatchMessageA(const MSG* message) {
  return win32::DispatchMessageA(message);
}

BOOL TranslateMessage(const MSG* message) {
  return win32::TranslateMessage(message);
}

void PostQuitMessage(int exitCode) {
  win32::PostQuitMessage(exitCode);
}

UINT RegisterWindowMessageA(const char* name) {
  return win32::RegisterWindowMessageA(name);
}

uintptr_t SetTimer(HWND window, uintptr_t id, UINT milliseconds, TIMERPROC procedure) {
  return win32::SetTimer(window, id, milliseconds, procedure);
}

BOOL KillTimer(HWND window, uintptr_t id) {
  return win32::KillTimer(window, id);
}

}  // namespace kvp
