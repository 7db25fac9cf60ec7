// The platform's device contexts: raster painting with the Windows edge
// rules, objects and stock objects, text through real fonts, the metafile
// recorder's records and object table, bitmaps and BitBlt.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "platform/gdi/device_context.h"
#include "platform/gdi/fonts.h"
#include "platform/gdi/metafile.h"
#include "platform/gdi/pens_brushes.h"
#include "tests/chart_draw/wmf_reader.h"

namespace {

using namespace kvp;

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// A memory context over a white bitmap; everything goes at the end.
class Raster {
 public:
  Raster(int width, int height) {
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateCompatibleBitmap(dc, width, height);
    old = SelectObject(dc, bitmap);
  }
  ~Raster() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
};

std::vector<uint8_t> CloseAndTakeBits(HDC dc) {
  HMETAFILE metafile = CloseMetaFile(dc);
  EXPECT_NE(metafile, nullptr);
  std::vector<uint8_t> bits(GetMetaFileBitsEx(metafile, 0, nullptr));
  EXPECT_EQ(GetMetaFileBitsEx(metafile, static_cast<UINT>(bits.size()), bits.data()), bits.size());
  EXPECT_TRUE(DeleteMetaFile(metafile));
  return bits;
}

TEST(RasterSurface, RectangleKeepsTheRightAndBottomEdgesOut) {
  const size_t before = GdiLiveObjects();
  {
    Raster r(40, 40);
    HBRUSH red = CreateSolidBrush(kRed);
    HPEN blue = CreatePen(PS_SOLID, 1, kBlue);
    HGDIOBJ oldBrush = SelectObject(r.dc, red);
    HGDIOBJ oldPen = SelectObject(r.dc, blue);
    ASSERT_TRUE(Rectangle(r.dc, 10, 10, 20, 20));
    EXPECT_EQ(GetPixel(r.dc, 10, 10), kBlue);  // outline
    EXPECT_EQ(GetPixel(r.dc, 19, 19), kBlue);
    EXPECT_EQ(GetPixel(r.dc, 15, 15), kRed);    // inside
    EXPECT_EQ(GetPixel(r.dc, 20, 15), kWhite);  // right edge excluded
    EXPECT_EQ(GetPixel(r.dc, 15, 20), kWhite);
    EXPECT_EQ(GetPixel(r.dc, 9, 15), kWhite);
    // Without a pen the fill stops one pixel short, as on Windows.
    SelectObject(r.dc, GetStockObject(NULL_PEN));
    Rectangle(r.dc, 25, 25, 30, 30);
    EXPECT_EQ(GetPixel(r.dc, 25, 25), kRed);
    EXPECT_EQ(GetPixel(r.dc, 28, 28), kRed);
    EXPECT_EQ(GetPixel(r.dc, 29, 29), kWhite);
    SelectObject(r.dc, oldBrush);
    SelectObject(r.dc, oldPen);
    EXPECT_TRUE(DeleteObject(red));
    EXPECT_TRUE(DeleteObject(blue));
  }
  EXPECT_EQ(GdiLiveObjects(), before);
}

TEST(RasterSurface, PieRunsCounterClockwiseFromTheFirstRadial) {
  Raster r(101, 101);
  HBRUSH red = CreateSolidBrush(kRed);
  HGDIOBJ oldBrush = SelectObject(r.dc, red);
  HGDIOBJ oldPen = SelectObject(r.dc, GetStockObject(NULL_PEN));
  // From the right (3 o'clock) counter-clockwise to the top: the upper
  // right quarter only.
  ASSERT_TRUE(Pie(r.dc, 0, 0, 101, 101, 100, 50, 50, 0));
  EXPECT_EQ(GetPixel(r.dc, 75, 25), kRed);
  EXPECT_EQ(GetPixel(r.dc, 25, 25), kWhite);
  EXPECT_EQ(GetPixel(r.dc, 75, 75), kWhite);
  EXPECT_EQ(GetPixel(r.dc, 25, 75), kWhite);
  // Equal radials fill the whole ellipse.
  Raster whole(101, 101);
  SelectObject(whole.dc, red);
  SelectObject(whole.dc, GetStockObject(NULL_PEN));
  Pie(whole.dc, 0, 0, 101, 101, 100, 50, 100, 50);
  EXPECT_EQ(GetPixel(whole.dc, 25, 75), kRed);
  EXPECT_EQ(GetPixel(whole.dc, 75, 25), kRed);
  SelectObject(whole.dc, oldBrush);
  SelectObject(r.dc, oldBrush);
  SelectObject(r.dc, oldPen);
  SelectObject(whole.dc, oldPen);
  DeleteObject(red);
}

TEST(RasterSurface, LinesAndWindowOrigin) {
  Raster r(30, 30);
  HPEN red = CreatePen(PS_SOLID, 1, kRed);
  HGDIOBJ old = SelectObject(r.dc, red);
  SetWindowOrgEx(r.dc, 10, 10, nullptr);
  MoveToEx(r.dc, 12, 15, nullptr);
  LineTo(r.dc, 22, 15);
  SetWindowOrgEx(r.dc, 0, 0, nullptr);
  EXPECT_EQ(GetPixel(r.dc, 2, 5), kRed);
  EXPECT_EQ(GetPixel(r.dc, 11, 5), kRed);
  EXPECT_EQ(GetPixel(r.dc, 13, 5), kWhite);  // the end pixel is left out
  EXPECT_EQ(GetPixel(r.dc, 2, 6), kWhite);
  EXPECT_EQ(GetPixel(r.dc, 30, 5), CLR_INVALID);
  SelectObject(r.dc, old);
  DeleteObject(red);
}

TEST(RasterSurface, TextIsMeasuredWithRealFontsAndArialIsLiberationSans) {
  Raster r(200, 60);
  HFONT arial = CreateFontA(-20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  HFONT liberation = CreateFontA(-20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Liberation Sans");
  HFONT mono = CreateFontA(-20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Courier New");
  SIZE a{}, l{}, m{}, wide{}, empty{};
  HGDIOBJ old = SelectObject(r.dc, arial);
  ASSERT_TRUE(GetTextExtentPoint32A(r.dc, "Hillview", 8, &a));
  ASSERT_TRUE(GetTextExtentPoint32A(r.dc, "WWWWWWWW", 8, &wide));
  ASSERT_TRUE(GetTextExtentPoint32A(r.dc, "", 0, &empty));
  SelectObject(r.dc, liberation);
  GetTextExtentPoint32A(r.dc, "Hillview", 8, &l);
  SelectObject(r.dc, mono);
  GetTextExtentPoint32A(r.dc, "Hillview", 8, &m);
  EXPECT_EQ(a.cx, l.cx);
  EXPECT_EQ(a.cy, l.cy);
  EXPECT_GT(a.cx, 40);
  EXPECT_LT(a.cx, 120);
  EXPECT_GT(wide.cx, a.cx);
  EXPECT_EQ(m.cx, 8 * std::lround(m.cx / 8.0));  // every mono glyph is as wide
  EXPECT_EQ(empty.cx, 0);
  // A positive height is the cell: 20 pixels high.
  HFONT cell = CreateFontA(20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  SelectObject(r.dc, cell);
  SIZE c{};
  GetTextExtentPoint32A(r.dc, "Hx", 2, &c);
  EXPECT_EQ(c.cy, 20);
  // Transparent text leaves the background; opaque text paints its box.
  SetTextColor(r.dc, kRed);
  SetBkMode(r.dc, TRANSPARENT);
  ASSERT_TRUE(TextOutA(r.dc, 5, 5, "\x80 caf\xe9", 6));  // Windows-1252 text
  bool red = false;
  for (int x = 5; x < 60 && !red; ++x)
    for (int y = 5; y < 25 && !red; ++y) red = GetPixel(r.dc, x, y) == kRed;
  EXPECT_TRUE(red);
  EXPECT_EQ(GetPixel(r.dc, 5, 5), kWhite);
  SetBkMode(r.dc, OPAQUE);
  SetBkColor(r.dc, kBlue);
  TextOutA(r.dc, 100, 30, "x", 1);
  EXPECT_EQ(GetPixel(r.dc, 100, 30), kBlue);
  SelectObject(r.dc, old);
  for (HFONT f : {arial, liberation, mono, cell}) DeleteObject(f);
}

TEST(GdiObjects, StockObjectsAreNeverLiveOrDeletedAndContextsAreNotObjects) {
  const size_t before = GdiLiveObjects();
  HGDIOBJ white = GetStockObject(WHITE_BRUSH);
  ASSERT_NE(white, nullptr);
  EXPECT_EQ(GetObjectType(white), OBJ_BRUSH);
  EXPECT_TRUE(DeleteObject(white));
  EXPECT_EQ(GetObjectType(white), OBJ_BRUSH);  // still there
  EXPECT_EQ(GetStockObject(99), nullptr);
  EXPECT_EQ(GetStockObject(-1), nullptr);
  EXPECT_EQ(GdiLiveObjects(), before);
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GdiLiveObjects(), before + 1);
  EXPECT_FALSE(DeleteObject(dc));  // a context ends with DeleteDC
  EXPECT_EQ(SelectObject(dc, dc), nullptr);
  EXPECT_EQ(CreatePen(7, 1, 0), nullptr);  // unknown style
  EXPECT_EQ(CreateCompatibleBitmap(dc, 0, 10), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(dc, 20000, 10), nullptr);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_FALSE(Rectangle(dc, 0, 0, 1, 1));  // a dead context
  EXPECT_EQ(GdiLiveObjects(), before);
}

TEST(GdiObjects, ABitmapIsSelectedIntoOneContextAtATime) {
  HDC a = CreateCompatibleDC(nullptr);
  HDC b = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(a, 8, 8);
  HGDIOBJ oldA = SelectObject(a, bitmap);
  ASSERT_NE(oldA, nullptr);
  EXPECT_EQ(SelectObject(b, bitmap), nullptr);
  SelectObject(a, oldA);
  HGDIOBJ oldB = SelectObject(b, bitmap);
  EXPECT_NE(oldB, nullptr);
  SelectObject(b, oldB);
  DeleteObject(bitmap);
  DeleteDC(a);
  DeleteDC(b);
}

TEST(RasterSurface, BitBltCopiesPixels) {
  Raster from(10, 10), to(10, 10);
  HBRUSH red = CreateSolidBrush(kRed);
  RECT box{2, 2, 5, 5};
  FillRect(from.dc, &box, red);
  ASSERT_TRUE(BitBlt(to.dc, 0, 0, 10, 10, from.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(GetPixel(to.dc, 3, 3), kRed);
  EXPECT_EQ(GetPixel(to.dc, 7, 7), kWhite);
  EXPECT_FALSE(BitBlt(to.dc, 0, 0, 10, 10, from.dc, 0, 0, 0x00660046));
  DeleteObject(red);
}

TEST(MetafileRecorder, ObjectsEnterTheTableOnSelectionAndLeaveOnDeletion) {
  const size_t before = GdiLiveObjects();
  HDC dc = CreateMetaFileA(nullptr);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(CreateMetaFileA("x.wmf"), nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, TECHNOLOGY), DT_METAFILE);
  HBRUSH red = CreateSolidBrush(kRed);
  HPEN blue = CreatePen(PS_SOLID, 2, kBlue);
  HGDIOBJ oldBrush = SelectObject(dc, red);
  EXPECT_NE(oldBrush, nullptr);  // the previous brush comes back
  HGDIOBJ oldPen = SelectObject(dc, blue);
  Rectangle(dc, 1, 2, 30, 40);
  SelectObject(dc, oldBrush);
  DeleteObject(red);  // recorded while the metafile is open
  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  SelectObject(dc, green);
  Pie(dc, 0, 0, 100, 100, 100, 50, 50, 0);
  Ellipse(dc, 50000, -50000, 10, 10);  // coordinates beyond 16 bits
  SIZE size{};
  EXPECT_FALSE(GetTextExtentPoint32A(dc, "abc", 3, &size));  // measures on the screen only
  SetBkMode(dc, TRANSPARENT);
  TextOutA(dc, 3, 4, "odd", 3);
  SelectObject(dc, oldPen);
  std::vector<uint8_t> bits = CloseAndTakeBits(dc);
  DeleteObject(green);
  DeleteObject(blue);
  EXPECT_EQ(GdiLiveObjects(), before);

  std::string problem;
  const charttest::WmfFile file = charttest::ReadWmf(bits, problem);
  ASSERT_TRUE(problem.empty()) << problem;
  EXPECT_FALSE(file.placeable);
  ASSERT_EQ(file.Count(META_RECTANGLE), 1u);
  const auto& rect = file.All(META_RECTANGLE)[0]->parameters;
  EXPECT_EQ(rect, (std::vector<int16_t>{40, 30, 2, 1}));  // bottom, right, top, left
  const auto& ellipse = file.All(META_ELLIPSE)[0]->parameters;
  EXPECT_EQ(ellipse, (std::vector<int16_t>{10, 10, -32768, 32767}));
  const auto& pie = file.All(META_PIE)[0]->parameters;
  EXPECT_EQ(pie, (std::vector<int16_t>{0, 50, 50, 100, 100, 100, 0, 0}));
  const auto& text = file.All(META_TEXTOUT)[0]->parameters;
  EXPECT_EQ(text[0], 3);
  EXPECT_EQ(text[3], 4);  // y, then x
  EXPECT_EQ(text[4], 3);
  EXPECT_EQ(file.Count(META_CREATEBRUSHINDIRECT), 3u);  // the stock white, red, green
  EXPECT_EQ(file.Count(META_CREATEPENINDIRECT), 2u);    // blue, the stock black
  // The slot red left is taken again by green: the table holds what is
  // alive at once (blue, white, green and the stock black pen at the end).
  EXPECT_EQ(file.objectCount, 4);
  const auto selects = file.All(META_SELECTOBJECT);
  ASSERT_GE(selects.size(), 4u);
  EXPECT_EQ(selects[0]->parameters[0], 0);  // red, in the lowest slot
  EXPECT_EQ(selects[3]->parameters[0], 0);  // green, where red was
  const auto& pen = file.All(META_CREATEPENINDIRECT)[0]->parameters;
  EXPECT_EQ(pen[0], 0);
  EXPECT_EQ(pen[1], 2);
  EXPECT_EQ(static_cast<uint16_t>(pen[3]), 0x0000);  // blue: low word 0, high word 0xFF
  EXPECT_EQ(pen[4], 0xFF);
}

TEST(MetafileRecorder, DeletionsFromAnotherThreadAreRecordedSafely) {
  HDC dc = CreateMetaFileA(nullptr);
  std::vector<HBRUSH> brushes;
  for (int i = 0; i < 200; ++i) brushes.push_back(CreateSolidBrush(RGB(i, 0, 0)));
  for (HBRUSH b : brushes) SelectObject(dc, b);
  SelectObject(dc, GetStockObject(WHITE_BRUSH));
  std::thread deleter([&] {
    for (HBRUSH b : brushes) DeleteObject(b);
  });
  for (int i = 0; i < 200; ++i) Rectangle(dc, i, i, i + 5, i + 5);
  deleter.join();
  std::string problem;
  const charttest::WmfFile file = charttest::ReadWmf(CloseAndTakeBits(dc), problem);
  EXPECT_TRUE(problem.empty()) << problem;
  EXPECT_EQ(file.Count(META_DELETEOBJECT), file.Count(META_CREATEBRUSHINDIRECT) +
                                               file.Count(META_CREATEPENINDIRECT) +
                                               file.Count(META_CREATEFONTINDIRECT));
}

}  // namespace
