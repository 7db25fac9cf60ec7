// Classes, windows, geometry, z-order, longs, properties and states.
#include <thread>

#include "tests/platform_ui/ui_test_support.h"

namespace {

using namespace ui_test;

using WindowTest = UiTest;

LRESULT RefuseCreate(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return -1;
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(WindowTest, ClassesAreRegisteredOnceCaseInsensitiveAndHeldByTheirWindows) {
  WNDCLASSA duplicate{};
  duplicate.lpfnWndProc = RecordingProcedure;
  duplicate.lpszClassName = "uitestrecorder";
  EXPECT_EQ(RegisterClassA(&duplicate), 0);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);

  WNDCLASSA found{};
  ASSERT_TRUE(GetClassInfoA(nullptr, "UITESTRECORDER", &found));
  EXPECT_EQ(found.lpfnWndProc, &RecordingProcedure);
  EXPECT_STREQ(found.lpszClassName, kRecorderClass);
  EXPECT_FALSE(GetClassInfoA(nullptr, "NoSuchClass", &found));
  EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);
  EXPECT_TRUE(GetClassInfoA(nullptr, "button", &found)) << "BUTTON is predefined";

  HWND window = MakeWindow();
  EXPECT_FALSE(UnregisterClassA(kRecorderClass, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);
  EXPECT_FALSE(UnregisterClassA("BUTTON", nullptr)) << "a predefined class stays";
  EXPECT_TRUE(DestroyWindow(window));

  WNDCLASSA bad{};
  bad.lpszClassName = "NoProcedure";
  EXPECT_EQ(RegisterClassA(&bad), 0);
  EXPECT_EQ(RegisterClassA(nullptr), 0);
}

TEST_F(WindowTest, CreationRunsNcCreateAndCreateAndARefusalLeavesNothing) {
  HWND window = MakeWindow();
  ASSERT_EQ(CountOf(WM_NCCREATE, window), 1u);
  ASSERT_EQ(CountOf(WM_CREATE, window), 1u);
  EXPECT_EQ(Journal()[0].message, WM_NCCREATE);
  EXPECT_EQ(Journal()[1].message, WM_CREATE);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_FALSE(IsWindowVisible(window));
  DestroyWindow(window);

  WNDCLASSA refusing{};
  refusing.lpfnWndProc = RefuseCreate;
  refusing.lpszClassName = "UiTestRefusing";
  ASSERT_NE(RegisterClassA(&refusing), 0);
  const size_t before = UiLiveWindows();
  EXPECT_EQ(CreateWindowExA(0, "UiTestRefusing", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                            nullptr, nullptr),
            nullptr);
  EXPECT_EQ(UiLiveWindows(), before);
  EXPECT_TRUE(UnregisterClassA("UiTestRefusing", nullptr));

  EXPECT_EQ(
      CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
      nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);
  EXPECT_EQ(CreateWindowExA(0, kRecorderClass, "", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                            nullptr),
            nullptr)
      << "a child needs a parent";
}

TEST_F(WindowTest, DestroyingSendsDestroyThenNcDestroyAndTakesOwnedAndChildWindows) {
  HWND owner = MakeWindow();
  HWND owned = MakeWindow(WS_OVERLAPPEDWINDOW, owner);
  HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, owner, 5, 5, 20, 20);
  EXPECT_EQ(GetParent(owned), owner);
  EXPECT_EQ(GetWindow(owned, GW_OWNER), owner);
  EXPECT_EQ(GetParent(child), owner);
  EXPECT_EQ(GetWindow(owner, GW_CHILD), child);
  ClearJournal();
  ASSERT_TRUE(DestroyWindow(owner));
  EXPECT_FALSE(IsWindow(owner));
  EXPECT_FALSE(IsWindow(owned));
  EXPECT_FALSE(IsWindow(child));
  std::vector<std::pair<HWND, UINT>> order;
  for (const Seen& seen : Journal()) {
    if (seen.message == WM_DESTROY || seen.message == WM_NCDESTROY) {
      order.emplace_back(seen.window, seen.message);
    }
  }
  const std::vector<std::pair<HWND, UINT>> expected{{owned, WM_DESTROY},   {owned, WM_NCDESTROY},
                                                    {owner, WM_DESTROY},   {child, WM_DESTROY},
                                                    {child, WM_NCDESTROY}, {owner, WM_NCDESTROY}};
  EXPECT_EQ(order, expected);
}

TEST_F(WindowTest, AStaleOrForgedHandleIsRefusedEverywhere) {
  HWND window = MakeWindow();
  ASSERT_TRUE(DestroyWindow(window));
  const HWND forged[] = {window, reinterpret_cast<HWND>(0x12345), reinterpret_cast<HWND>(-7),
                         reinterpret_cast<HWND>(&window)};
  for (HWND bad : forged) {
    RECT rect{1, 2, 3, 4};
    POINT point{1, 1};
    char text[8] = "x";
    EXPECT_FALSE(IsWindow(bad));
    EXPECT_FALSE(DestroyWindow(bad));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FALSE(ShowWindow(bad, SW_SHOW));
    EXPECT_FALSE(GetClientRect(bad, &rect));
    EXPECT_FALSE(GetWindowRect(bad, &rect));
    EXPECT_FALSE(ClientToScreen(bad, &point));
    EXPECT_FALSE(SetWindowPos(bad, nullptr, 0, 0, 1, 1, 0));
    EXPECT_FALSE(MoveWindow(bad, 0, 0, 1, 1, TRUE_));
    EXPECT_EQ(SetWindowLongPtrA(bad, GWLP_USERDATA, 5), 0);
    EXPECT_EQ(GetWindowLongPtrA(bad, GWLP_WNDPROC), 0);
    EXPECT_FALSE(SetPropA(bad, "P", window));
    EXPECT_EQ(GetPropA(bad, "P"), nullptr);
    EXPECT_FALSE(PostMessageA(bad, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageA(bad, WM_USER, 0, 0), 0);
    EXPECT_FALSE(InvalidateRect(bad, nullptr, TRUE_));
    EXPECT_FALSE(UpdateWindow(bad));
    PAINTSTRUCT paint;
    EXPECT_EQ(BeginPaint(bad, &paint), nullptr);
    EXPECT_EQ(GetWindowClientDC(bad), nullptr);
    EXPECT_FALSE(WriteWindowPng(bad, "/nonexistent/x.png"));
    EXPECT_EQ(SetTimer(bad, 1, 10, nullptr), 0u);
    EXPECT_EQ(SetCapture(bad), nullptr);
    EXPECT_FALSE(EnableWindow(bad, FALSE_));
    EXPECT_FALSE(SetForegroundWindow(bad));
    EXPECT_EQ(GetWindowTextA(bad, text, sizeof(text)), 0);
    EXPECT_STREQ(text, "");
    EXPECT_FALSE(InjectClick(bad, 1, 1, false));
    EXPECT_FALSE(TrackPopupMenu(nullptr, 0, 0, 0, 0, bad, nullptr));
    MSG message;
    EXPECT_EQ(GetMessageA(&message, bad, 0, 0), -1);
  }
}

TEST_F(WindowTest, DefaultPositionsCascadeAndTheDefaultSizeIsDocumented) {
  HWND first = MakeWindow(WS_OVERLAPPEDWINDOW, nullptr, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0);
  HWND second = MakeWindow(WS_OVERLAPPEDWINDOW, nullptr, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0);
  RECT a;
  RECT b;
  ASSERT_TRUE(GetWindowRect(first, &a));
  ASSERT_TRUE(GetWindowRect(second, &b));
  EXPECT_EQ(a.right - a.left, 640);
  EXPECT_EQ(a.bottom - a.top, 480);
  EXPECT_EQ((a.left - 16) % 24, 0);
  EXPECT_EQ(a.left, a.top);
  EXPECT_EQ(b.left, a.left == 16 + 24 * 9 ? 16 : a.left + 24) << "the next cascading place";
  DestroyWindow(first);
  DestroyWindow(second);
}

TEST_F(WindowTest, ClientAreaExcludesTheFrameAndChildrenSitInTheParentsClient) {
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
  HWND window = MakeWindow(WS_OVERLAPPEDWINDOW, nullptr, 100, 50, 300, 200);
  RECT client;
  ASSERT_TRUE(GetClientRect(window, &client));
  const int frame = GetSystemMetrics(SM_CXFRAME);
  const int caption = GetSystemMetrics(SM_CYCAPTION);
  EXPECT_EQ(client.right, 300 - 2 * frame);
  EXPECT_EQ(client.bottom, 200 - 2 * frame - caption);
  RECT adjusted{0, 0, client.right, client.bottom};
  AdjustWindowRectEx(&adjusted, WS_OVERLAPPEDWINDOW, FALSE_, 0);
  EXPECT_EQ(adjusted.right - adjusted.left, 300);
  EXPECT_EQ(adjusted.bottom - adjusted.top, 200);

  POINT point{0, 0};
  ASSERT_TRUE(ClientToScreen(window, &point));
  EXPECT_EQ(point.x, 100 + frame);
  EXPECT_EQ(point.y, 50 + frame + caption);
  HWND child = MakeWindow(WS_CHILD, window, 10, 20, 50, 30);
  POINT inner{1, 2};
  ASSERT_TRUE(ClientToScreen(child, &inner));
  EXPECT_EQ(inner.x, 100 + frame + 10 + 1);
  EXPECT_EQ(inner.y, 50 + frame + caption + 20 + 2);
  ASSERT_TRUE(ScreenToClient(child, &inner));
  EXPECT_EQ(inner.x, 1);
  EXPECT_EQ(inner.y, 2);

  ClearJournal();
  ASSERT_TRUE(MoveWindow(window, 0, 0, 500, 400, TRUE_));
  ASSERT_EQ(CountOf(WM_SIZE, window), 1u);
  for (const Seen& seen : Journal()) {
    if (seen.message == WM_SIZE) {
      EXPECT_EQ(LOWORD(static_cast<uintptr_t>(seen.lParam)), 500 - 2 * frame);
      EXPECT_EQ(HIWORD(static_cast<uintptr_t>(seen.lParam)), 400 - 2 * frame - caption);
    }
  }
  ASSERT_TRUE(MoveWindow(window, 0, 0, -5, 100000, TRUE_));
  RECT clamped;
  GetWindowRect(window, &clamped);
  EXPECT_EQ(clamped.right, 0) << "a negative size is none";
  EXPECT_EQ(clamped.bottom, 16384);
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 0);
  DestroyWindow(window);
}

TEST_F(WindowTest, ZOrderHonoursBehindAnotherWindowAndTheTopmostBand) {
  HWND owner = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  HWND other = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  HWND chart = MakeWindow(WS_OVERLAPPEDWINDOW, owner);
  EXPECT_EQ(GetForegroundWindow(), other) << "showing activates";
  ASSERT_TRUE(SetWindowPos(chart, owner, 10, 10, 50, 50, SWP_NOACTIVATE));
  EXPECT_EQ(GetWindow(owner, GW_HWNDNEXT), chart);
  EXPECT_EQ(GetWindow(chart, GW_HWNDPREV), owner);
  ShowWindow(chart, SW_SHOWNA);
  EXPECT_EQ(GetForegroundWindow(), other) << "SW_SHOWNA does not activate";

  ASSERT_TRUE(SetWindowPos(chart, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_NE(GetWindowLongPtrA(chart, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_EQ(GetWindow(chart, GW_HWNDFIRST), chart);
  SetForegroundWindow(owner);
  EXPECT_EQ(GetWindow(owner, GW_HWNDPREV), chart) << "the topmost window stays in front";
  ASSERT_TRUE(SetWindowPos(chart, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(GetWindowLongPtrA(chart, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_FALSE(SetWindowPos(chart, chart, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_FALSE(SetWindowPos(chart, reinterpret_cast<HWND>(0x999990), 0, 0, 0, 0, SWP_NOMOVE));
  DestroyWindow(other);
  DestroyWindow(owner);
  EXPECT_FALSE(IsWindow(chart));
}

LRESULT Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
WNDPROC previousProcedure = nullptr;
int subclassCalls = 0;

LRESULT Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER + 1) {
    ++subclassCalls;
    return 41 + CallWindowProcA(previousProcedure, window, message, wParam, lParam);
  }
  return CallWindowProcA(previousProcedure, window, message, wParam, lParam);
}

TEST_F(WindowTest, LongsSubclassingAndExtraBytes) {
  HWND window = MakeWindow();
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC),
            reinterpret_cast<LONG_PTR>(&RecordingProcedure));
  previousProcedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Subclass)));
  EXPECT_EQ(previousProcedure, &RecordingProcedure);
  ClearJournal();
  subclassCalls = 0;
  EXPECT_EQ(SendMessageA(window, WM_USER + 1, 0, 0), 41);
  EXPECT_EQ(subclassCalls, 1);
  EXPECT_EQ(CountOf(WM_USER + 1, window), 1u) << "the previous procedure still runs";
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProcedure));
  EXPECT_EQ(SendMessageA(window, WM_USER + 1, 0, 0), 0);
  EXPECT_EQ(SetWindowLongPtrA(window, GWLP_WNDPROC, 0), 0) << "a null procedure is refused";
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC),
            reinterpret_cast<LONG_PTR>(&RecordingProcedure));

  EXPECT_EQ(SetWindowLongPtrA(window, GWLP_USERDATA, -77), 0);
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), -77);
  const auto big = static_cast<LONG_PTR>(UINTPTR_MAX / 3);
  SetWindowLongPtrA(window, 8, big);
  EXPECT_EQ(GetWindowLongPtrA(window, 8), big);
  EXPECT_EQ(GetWindowLongPtrA(window, 0), 0);
  SetLastError(0);
  EXPECT_EQ(SetWindowLongPtrA(window, 9, 1), 0) << "beyond the 16 extra bytes";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
  EXPECT_EQ(GetWindowLongPtrA(window, 1000), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
  DestroyWindow(window);
}

TEST_F(WindowTest, PropertiesByAtomName) {
  HWND window = MakeWindow();
  int value = 0;
  ASSERT_TRUE(SetPropA(window, "TestProperty", &value));
  EXPECT_EQ(GetPropA(window, "testproperty"), &value) << "atom names ignore case";
  const ATOM atom = GlobalFindAtomA("TESTPROPERTY");
  ASSERT_GE(atom, 0xC000);
  EXPECT_EQ(GetPropA(window, MAKEINTATOM(atom)), &value);
  EXPECT_EQ(GetPropA(window, "Other"), nullptr);
  EXPECT_FALSE(SetPropA(window, "", &value));
  EXPECT_EQ(RemovePropA(window, "TestProperty"), &value);
  EXPECT_EQ(GetPropA(window, "TestProperty"), nullptr);
  EXPECT_EQ(RemovePropA(window, "TestProperty"), nullptr);
  const std::string tooLong(300, 'p');
  EXPECT_FALSE(SetPropA(window, tooLong.c_str(), &value));
  DestroyWindow(window);
}

TEST_F(WindowTest, EnablingCaptureCursorsAndText) {
  HWND window = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  EXPECT_TRUE(IsWindowEnabled(window));
  EXPECT_FALSE(EnableWindow(window, FALSE_)) << "it was enabled";
  EXPECT_FALSE(IsWindowEnabled(window));
  EXPECT_TRUE(EnableWindow(window, TRUE_)) << "it was disabled";
  EXPECT_EQ(CountOf(WM_ENABLE, window), 2u);

  EXPECT_EQ(SetCapture(window), nullptr);
  EXPECT_EQ(GetCapture(), window);
  EXPECT_TRUE(ReleaseCapture());
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(CountOf(WM_CAPTURECHANGED, window), 1u);
  SetCapture(window);
  DestroyWindow(window);
  EXPECT_EQ(GetCapture(), nullptr) << "a destroyed window holds no capture";

  HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  ASSERT_NE(wait, nullptr);
  ASSERT_NE(arrow, nullptr);
  EXPECT_NE(wait, arrow);
  EXPECT_EQ(LoadCursorA(nullptr, IDC_WAIT), wait);
  EXPECT_EQ(LoadCursorA(nullptr, reinterpret_cast<const char*>(1)), nullptr);
  SetCursor(arrow);
  EXPECT_EQ(SetCursor(wait), arrow);
  EXPECT_EQ(GetCursor(), wait);
  EXPECT_EQ(SetCursor(reinterpret_cast<HCURSOR>(0x5)), nullptr);
  EXPECT_EQ(GetCursor(), wait) << "an unknown cursor changes nothing";
  SetCursor(arrow);

  HWND titled = MakeWindow();
  char text[6];
  SetWindowTextA(titled, "a long title");
  EXPECT_EQ(GetWindowTextA(titled, text, sizeof(text)), 5);
  EXPECT_STREQ(text, "a lon");
  char name[64];
  EXPECT_EQ(GetClassNameA(titled, name, sizeof(name)), 14);
  EXPECT_STREQ(name, kRecorderClass);
  DestroyWindow(titled);
}

TEST_F(WindowTest, OnlyTheCreatingThreadDestroysAndAThreadsWindowsGoWithIt) {
  HWND window = MakeWindow();
  BOOL destroyed = TRUE_;
  DWORD error = 0;
  HWND left = nullptr;
  std::thread other([&] {
    destroyed = DestroyWindow(window);
    error = GetLastError();
    left = CreateWindowExA(0, kRecorderClass, "left", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                           nullptr, nullptr);
  });
  other.join();
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(error, ERROR_ACCESS_DENIED);
  EXPECT_TRUE(IsWindow(window));
  ASSERT_NE(left, nullptr);
  EXPECT_FALSE(IsWindow(left)) << "the ended thread's window is gone";
  DestroyWindow(window);
}

}  // namespace
