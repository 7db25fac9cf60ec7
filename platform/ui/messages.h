// Message queues, timers and registered messages (used by kvchart, kvimage,
// kvcomm and the host).
//
// Every thread has its own queue, made on first use. PostMessageA puts a
// message into the queue of the window's thread (at most 10000 waiting:
// ERROR_NOT_ENOUGH_QUOTA beyond); SendMessageA calls the procedure at once
// on the window's own thread, or, for a window of another thread, waits
// until that thread takes the message in GetMessageA, PeekMessageA,
// WaitMessage or its own SendMessageA, meanwhile answering messages sent to
// the waiting thread (two threads sending to each other do not deadlock). A
// message sent to a window whose thread ends or destroys it unanswered
// answers 0. PostMessageA to HWND_BROADCAST posts a copy to every top-level
// window, each in its own thread's queue, and succeeds when there is none;
// SendMessageA to HWND_BROADCAST sends to each of them in turn, waiting for
// each answer, and answers 0.
// WM_COPYDATA is sent only (ERROR_MESSAGE_SYNC_ONLY when
// posted); across threads its data is copied for the receiver.
//
// Order of retrieval: sent messages, posted messages, WM_QUIT (after the
// posted ones), WM_PAINT for windows with an update region, WM_TIMER.
#pragma once
#include "platform/ui/window_types.h"

namespace kvp {

KVP_API BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
KVP_API BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
KVP_API LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Filters: a null window takes any message of the thread, HWND_THREAD_ONLY
// only thread messages, a window that window and its children; min = max =
// 0 takes every message number.
KVP_API BOOL PeekMessageA(MSG* message, HWND window, UINT min, UINT max, UINT remove);
// Waits; answers 0 for WM_QUIT, -1 for a bad window filter, else nonzero.
KVP_API BOOL GetMessageA(MSG* message, HWND window, UINT min, UINT max);
// Waits until a message of any kind is there.
KVP_API BOOL WaitMessage();
KVP_API LRESULT DispatchMessageA(const MSG* message);
// WM_KEYDOWN of a character key posts the matching WM_CHAR.
KVP_API BOOL TranslateMessage(const MSG* message);
KVP_API void PostQuitMessage(int exitCode);
// Atoms 0xC000..0xFFFF, the same number for the same name (case-insensitive)
// across the process; 0 for an empty or null name.
KVP_API UINT RegisterWindowMessageA(const char* name);

// A timer of the window (or, with a null window, of the thread, its id
// chosen here). WM_TIMER comes when the queue is otherwise empty, at most
// one per timer at a time; with a procedure, DispatchMessageA calls it.
// Intervals below 10 ms count as 10 ms.
KVP_API uintptr_t SetTimer(HWND window, uintptr_t id, UINT milliseconds, TIMERPROC procedure);
KVP_API BOOL KillTimer(HWND window, uintptr_t id);

}  // namespace kvp
