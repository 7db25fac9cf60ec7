// Update regions, paint messages, window pictures and buttons.
#include <cairo.h>

#include <cstdio>
#include <filesystem>

#include "platform/gdi/device_context.h"
#include "platform/gdi/pens_brushes.h"
#include "tests/platform_ui/ui_test_support.h"

namespace {

using namespace ui_test;

using PaintTest = UiTest;

COLORREF PixelOf(HBITMAP bitmap, int x, int y) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  const COLORREF colour = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteDC(dc);
  return colour;
}

LRESULT RedPainter(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT box{10, 10, 30, 20};
    FillRect(dc, &box, red);
    DeleteObject(red);
    EndPaint(window, &paint);
    return 0;
  }
  return RecordingProcedure(window, message, wParam, lParam);
}

TEST_F(PaintTest, InvalidationGivesOnePaintAndBeginPaintValidates) {
  HWND window = MakeWindow(WS_OVERLAPPEDWINDOW);
  MSG message;
  RECT update;
  InvalidateRect(window, nullptr, TRUE_);
  EXPECT_TRUE(GetUpdateRect(window, &update, FALSE_));
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE))
      << "a hidden window is not painted";
  ShowWindow(window, SW_SHOW);
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, WM_PAINT);
  EXPECT_EQ(message.hwnd, window);
  ClearJournal();
  DispatchMessageA(&message);
  EXPECT_EQ(CountOf(WM_PAINT, window), 1u);
  EXPECT_EQ(CountOf(WM_ERASEBKGND, window), 1u);
  EXPECT_FALSE(GetUpdateRect(window, &update, FALSE_));
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));

  RECT part{5, 6, 7, 8};
  RECT other{50, 1, 60, 2};
  InvalidateRect(window, &part, FALSE_);
  InvalidateRect(window, &other, FALSE_);
  ASSERT_TRUE(GetUpdateRect(window, &update, FALSE_));
  EXPECT_EQ(update.left, 5);
  EXPECT_EQ(update.top, 1);
  EXPECT_EQ(update.right, 60);
  EXPECT_EQ(update.bottom, 8);
  RECT outside{5000, 5000, 6000, 6000};
  ValidateRect(window, nullptr);
  InvalidateRect(window, &outside, FALSE_);
  EXPECT_FALSE(GetUpdateRect(window, &update, FALSE_)) << "clipped to the client area";

  InvalidateRect(window, nullptr, FALSE_);
  ClearJournal();
  UpdateWindow(window);
  EXPECT_EQ(CountOf(WM_PAINT, window), 1u) << "UpdateWindow paints at once";
  UpdateWindow(window);
  EXPECT_EQ(CountOf(WM_PAINT, window), 1u) << "nothing left to paint";
  DestroyWindow(window);
}

TEST_F(PaintTest, APaintedPictureIsKeptAndComposedWithItsChildren) {
  WNDCLASSA painter{};
  painter.lpfnWndProc = RedPainter;
  painter.lpszClassName = "UiTestRed";
  ASSERT_NE(RegisterClassA(&painter), 0);
  HWND window = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, 0, 200, 100);
  HWND child = CreateWindowExA(0, "UiTestRed", "", WS_CHILD | WS_VISIBLE, 100, 50, 50, 40, window,
                               nullptr, nullptr, nullptr);
  ASSERT_NE(child, nullptr);
  UpdateWindow(window);
  UpdateWindow(child);
  const size_t objects = GdiLiveObjects();
  HBITMAP picture = CopyWindowPicture(window);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(PixelOf(picture, 5, 5), RGB(255, 255, 255));
  EXPECT_EQ(PixelOf(picture, 100 + 15, 50 + 15), RGB(255, 0, 0)) << "the child's square";
  EXPECT_EQ(PixelOf(picture, 15, 15), RGB(255, 255, 255)) << "the parent painted nothing";
  BITMAP record;
  ASSERT_EQ(GetObjectA(picture, sizeof(record), &record), static_cast<int>(sizeof(record)));
  EXPECT_EQ(record.bmWidth, 200);
  EXPECT_EQ(record.bmHeight, 100);
  DeleteObject(picture);
  EXPECT_EQ(GdiLiveObjects(), objects);

  // GetDC of a window draws on its picture as well.
  HDC viaGetDC = GetDC(window);
  ASSERT_NE(viaGetDC, nullptr);
  EXPECT_EQ(GetDeviceCaps(viaGetDC, HORZRES), 200) << "not the 1024-pixel screen";
  EXPECT_EQ(ReleaseDC(window, viaGetDC), 1);

  // Drawing through a window context lands in the same picture.
  HDC dc = GetWindowClientDC(window);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 200);
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  RECT box{0, 0, 4, 4};
  FillRect(dc, &box, blue);
  DeleteObject(blue);
  EXPECT_EQ(ReleaseDC(window, dc), 1);
  const std::filesystem::path png =
      std::filesystem::temp_directory_path() / ("ui_paint_" + std::to_string(getpid()) + ".png");
  ASSERT_TRUE(WriteWindowPng(window, png.c_str()));
  cairo_surface_t* read = cairo_image_surface_create_from_png(png.c_str());
  ASSERT_EQ(cairo_surface_status(read), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_image_surface_get_width(read), 200);
  const auto* row = cairo_image_surface_get_data(read);
  EXPECT_EQ(row[0], 255) << "blue byte of the first pixel";
  EXPECT_EQ(row[2], 0) << "red byte of the first pixel";
  cairo_surface_destroy(read);
  std::filesystem::remove(png);
  EXPECT_FALSE(WriteWindowPng(window, "/nonexistent-dir/x.png"));

  // A bigger window keeps what it showed.
  MoveWindow(window, 0, 0, 300, 150, TRUE_);
  picture = CopyWindowPicture(window);
  EXPECT_EQ(PixelOf(picture, 1, 1), RGB(0, 0, 255));
  EXPECT_EQ(PixelOf(picture, 250, 120), RGB(255, 255, 255));
  DeleteObject(picture);
  DestroyWindow(window);
  EXPECT_TRUE(UnregisterClassA("UiTestRed", nullptr));
}

TEST_F(PaintTest, TheClassBrushErasesTheBackground) {
  WNDCLASSA green{};
  green.lpfnWndProc = DefWindowProcA;
  green.hbrBackground = CreateSolidBrush(RGB(0, 128, 0));
  green.lpszClassName = "UiTestGreen";
  ASSERT_NE(RegisterClassA(&green), 0);
  HWND window = CreateWindowExA(0, "UiTestGreen", "", WS_POPUP | WS_VISIBLE, 0, 0, 20, 20, nullptr,
                                nullptr, nullptr, nullptr);
  UpdateWindow(window);
  HBITMAP picture = CopyWindowPicture(window);
  EXPECT_EQ(PixelOf(picture, 10, 10), RGB(0, 128, 0));
  DeleteObject(picture);
  DestroyWindow(window);
  EXPECT_TRUE(UnregisterClassA("UiTestGreen", nullptr));
  DeleteObject(green.hbrBackground);
}

// A button's "&" marks its mnemonic: it is not drawn, the next character is
// underlined, and "&&" draws one "&".
TEST_F(PaintTest, AButtonUnderlinesItsMnemonicAndDoesNotDrawTheAmpersand) {
  constexpr int kWidth = 100, kHeight = 30, kUnderline = kHeight / 2 + 6;
  auto pictureOf = [](const char* label) {
    HWND button = CreateWindowExA(0, "BUTTON", label, WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight,
                                  nullptr, nullptr, nullptr, nullptr);
    UpdateWindow(button);
    HBITMAP picture = CopyWindowPicture(button);
    DestroyWindow(button);
    return picture;
  };
  auto rowsDiffer = [&](HBITMAP a, HBITMAP b, int fromRow, int toRow) {
    int differ = 0;
    for (int y = fromRow; y < toRow; ++y) {
      for (int x = 0; x < kWidth; ++x) differ += PixelOf(a, x, y) != PixelOf(b, x, y);
    }
    return differ;
  };
  HBITMAP marked = pictureOf("&Cancel");
  HBITMAP plain = pictureOf("Cancel");
  HBITMAP doubled = pictureOf("A&&B");
  HBITMAP single = pictureOf("A&B");
  ASSERT_NE(marked, nullptr);
  EXPECT_EQ(rowsDiffer(marked, plain, 0, kUnderline), 0) << "the same text, the & not drawn";
  EXPECT_GT(rowsDiffer(marked, plain, kUnderline, kUnderline + 1), 2) << "the C underlined";
  EXPECT_EQ(rowsDiffer(marked, plain, kUnderline + 1, kHeight), 0);
  EXPECT_GT(rowsDiffer(doubled, single, 0, kUnderline), 0) << "&& draws an &, & alone does not";
  for (HBITMAP picture : {marked, plain, doubled, single}) DeleteObject(picture);
}

}  // namespace
