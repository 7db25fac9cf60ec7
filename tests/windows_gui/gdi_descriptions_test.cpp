// The descriptions GetObjectA gives back for pens and brushes: a metafile
// records them, so the platform must give what Windows gives. The same test
// runs on Linux against the platform's own objects and under Wine against
// the system's.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/pens_brushes.h"

namespace {

using namespace kvp;

LOGPEN PenOf(HGDIOBJ pen) {
  LOGPEN description{};
  EXPECT_EQ(GetObjectA(pen, sizeof description, &description), static_cast<int>(sizeof(LOGPEN)));
  return description;
}

LOGBRUSH BrushOf(HGDIOBJ brush) {
  LOGBRUSH description{};
  EXPECT_EQ(GetObjectA(brush, sizeof description, &description),
            static_cast<int>(sizeof(LOGBRUSH)));
  return description;
}

void ExpectPen(HPEN pen, UINT style, LONG width, COLORREF colour) {
  ASSERT_NE(pen, nullptr);
  const LOGPEN description = PenOf(pen);
  EXPECT_EQ(description.lopnStyle, style);
  EXPECT_EQ(description.lopnWidth.x, width);
  EXPECT_EQ(description.lopnWidth.y, 0);
  EXPECT_EQ(description.lopnColor, colour);
  EXPECT_TRUE(DeleteObject(pen));
}

TEST(GdiDescriptions, PenWidthsAreTheirAbsoluteValue) {
  ExpectPen(CreatePen(PS_SOLID, -5, RGB(1, 2, 3)), PS_SOLID, 5, RGB(1, 2, 3));
  ExpectPen(CreatePen(PS_SOLID, 0, RGB(1, 2, 3)), PS_SOLID, 0, RGB(1, 2, 3));
  ExpectPen(CreatePen(PS_SOLID, 7, RGB(1, 2, 3)), PS_SOLID, 7, RGB(1, 2, 3));
  const LOGPEN tall{PS_SOLID, POINT{-4, 9}, RGB(4, 5, 6)};
  ExpectPen(CreatePenIndirect(&tall), PS_SOLID, 4, RGB(4, 5, 6));
}

TEST(GdiDescriptions, NullPensAreOneWideAndBlack) {
  ExpectPen(CreatePen(PS_NULL, 7, RGB(1, 2, 3)), PS_NULL, 1, 0);
  ExpectPen(CreatePen(PS_NULL, -3, RGB(9, 9, 9)), PS_NULL, 1, 0);
  const LOGPEN stock = PenOf(GetStockObject(NULL_PEN));
  EXPECT_EQ(stock.lopnStyle, PS_NULL);
  EXPECT_EQ(stock.lopnWidth.x, 1);
  EXPECT_EQ(stock.lopnColor, 0u);
}

TEST(GdiDescriptions, StockPensAndBrushes) {
  const LOGPEN black = PenOf(GetStockObject(BLACK_PEN));
  EXPECT_EQ(black.lopnStyle, PS_SOLID);
  EXPECT_EQ(black.lopnWidth.x, 0);
  EXPECT_EQ(black.lopnColor, RGB(0, 0, 0));
  EXPECT_EQ(PenOf(GetStockObject(WHITE_PEN)).lopnColor, RGB(255, 255, 255));
  struct Stock {
    int which;
    UINT style;
    COLORREF colour;
  };
  for (const Stock& s :
       {Stock{WHITE_BRUSH, BS_SOLID, RGB(255, 255, 255)},
        Stock{LTGRAY_BRUSH, BS_SOLID, RGB(192, 192, 192)},
        Stock{GRAY_BRUSH, BS_SOLID, RGB(128, 128, 128)},
        Stock{DKGRAY_BRUSH, BS_SOLID, RGB(64, 64, 64)}, Stock{BLACK_BRUSH, BS_SOLID, RGB(0, 0, 0)},
        Stock{NULL_BRUSH, BS_NULL, 0}}) {
    const LOGBRUSH brush = BrushOf(GetStockObject(s.which));
    EXPECT_EQ(brush.lbStyle, s.style) << s.which;
    EXPECT_EQ(brush.lbColor, s.colour) << s.which;
    EXPECT_EQ(brush.lbHatch, 0u) << s.which;
  }
  // Deleting a stock object is allowed and leaves it usable.
  EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN)));
  EXPECT_EQ(PenOf(GetStockObject(BLACK_PEN)).lopnStyle, PS_SOLID);
}

TEST(GdiDescriptions, StockFonts) {
  struct Stock {
    int which;
    LONG height, width, weight;
    const char* face;
  };
  for (const Stock& s : {Stock{SYSTEM_FONT, 16, 7, FW_BOLD, "System"},
                         Stock{DEFAULT_GUI_FONT, -11, 0, FW_NORMAL, "MS Shell Dlg"}}) {
    LOGFONTA font{};
    ASSERT_EQ(GetObjectA(GetStockObject(s.which), sizeof font, &font),
              static_cast<int>(sizeof(LOGFONTA)));
    EXPECT_EQ(font.lfHeight, s.height) << s.face;
    EXPECT_EQ(font.lfWidth, s.width) << s.face;
    EXPECT_EQ(font.lfWeight, s.weight) << s.face;
    EXPECT_EQ(font.lfEscapement, 0) << s.face;
    EXPECT_EQ(font.lfItalic | font.lfUnderline | font.lfStrikeOut | font.lfCharSet, 0) << s.face;
    EXPECT_EQ(font.lfPitchAndFamily, 0x22) << s.face;
    EXPECT_STREQ(font.lfFaceName, s.face);
  }
  // A font's description is cut to a short buffer.
  LOGFONTA head{};
  EXPECT_EQ(GetObjectA(GetStockObject(SYSTEM_FONT), 8, &head), 8);
  EXPECT_EQ(head.lfHeight, 16);
  EXPECT_EQ(head.lfWidth, 7);
  EXPECT_EQ(head.lfWeight, 0);
}

TEST(GdiDescriptions, NullBrushesAreBlackWithoutHatch) {
  const LOGBRUSH made{BS_NULL, RGB(1, 1, 1), 7};
  HBRUSH brush = CreateBrushIndirect(&made);
  ASSERT_NE(brush, nullptr);
  const LOGBRUSH description = BrushOf(brush);
  EXPECT_EQ(description.lbStyle, BS_NULL);
  EXPECT_EQ(description.lbColor, 0u);
  EXPECT_EQ(description.lbHatch, 0u);
  EXPECT_TRUE(DeleteObject(brush));

  HBRUSH solid = CreateSolidBrush(RGB(9, 8, 7));
  const LOGBRUSH solidDescription = BrushOf(solid);
  EXPECT_EQ(solidDescription.lbStyle, BS_SOLID);
  EXPECT_EQ(solidDescription.lbColor, RGB(9, 8, 7));
  EXPECT_TRUE(DeleteObject(solid));
}

TEST(GdiDescriptions, ShortBuffersAndDeadHandles) {
  HPEN pen = CreatePen(PS_SOLID, 2, RGB(1, 2, 3));
  EXPECT_EQ(GetObjectA(pen, 0, nullptr), static_cast<int>(sizeof(LOGPEN)));
  LOGPEN partial{PS_NULL, POINT{0, 0}, 0};
  EXPECT_EQ(GetObjectA(pen, 4, &partial), 0) << "no part of a pen's description";
  EXPECT_EQ(partial.lopnStyle, PS_NULL);
  HBRUSH brush = CreateSolidBrush(RGB(5, 6, 7));
  LOGBRUSH cut{BS_NULL, 0, 0};
  EXPECT_EQ(GetObjectA(brush, 4, &cut), 4) << "a brush's is cut to the buffer";
  EXPECT_EQ(cut.lbStyle, BS_SOLID);
  EXPECT_EQ(cut.lbColor, 0u);
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_EQ(GetObjectType(pen), OBJ_PEN);
  EXPECT_TRUE(DeleteObject(pen));
  EXPECT_EQ(GetObjectType(pen), 0u);
  LOGPEN after{};
  EXPECT_EQ(GetObjectA(pen, sizeof after, &after), 0);
}

}  // namespace
