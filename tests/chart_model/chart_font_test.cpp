// grCréePolice and the element font functions: the font list, the style
// bits, the charts' own copies, and no graphic object left behind.
#include "tests/chart_model/chart_fixture.h"

namespace charttest {
namespace {

using kv::chart::FontElement;

class ChartFontTest : public ChartTest {
 protected:
  const KvFontList& Fonts() { return *instance().fonts; }
  const kv::chart::FontEntry* Font(int32_t number) { return kv::chart::FindFont(Fonts(), number); }
};

TEST_F(ChartFontTest, StyleBitsSizeAndFace) {
  const struct {
    int32_t style;
    kvp::LONG weight;
    kvp::BYTE italic, underline, strikeOut;
  } cases[] = {{0, 0, 0, 0, 0},  {8, 700, 0, 0, 0},  {4, 0, 1, 0, 0},          {2, 0, 0, 1, 0},
               {16, 0, 0, 0, 1}, {30, 700, 1, 1, 1}, {1 | 32 | 64, 0, 0, 0, 0}};
  int32_t number = 1;
  for (const auto& c : cases) {
    Ok("grCreateFont", 0, {I(number), I(12), I(c.style), T("Times New Roman")});
    const kv::chart::FontEntry* entry = Font(number);
    ASSERT_NE(entry, nullptr);
    const kvp::LOGFONTA d = Describe(entry->font.get());
    EXPECT_EQ(d.lfHeight, -12) << c.style;
    EXPECT_EQ(d.lfWeight, c.weight) << c.style;
    EXPECT_EQ(d.lfItalic, c.italic) << c.style;
    EXPECT_EQ(d.lfUnderline, c.underline) << c.style;
    EXPECT_EQ(d.lfStrikeOut, c.strikeOut) << c.style;
    EXPECT_EQ(d.lfCharSet, kvp::DEFAULT_CHARSET);
    EXPECT_STREQ(d.lfFaceName, "Times New Roman");
    EXPECT_EQ(entry->colour, 0u);
    ++number;
  }
  Ok("grCreateFont", 1, {I(100), I(-9), I(0), T("Arial"), I(0x0000FF)});
  EXPECT_EQ(Describe(Font(100)->font.get()).lfHeight, 9);
  EXPECT_EQ(Font(100)->colour, 0x0000FFu);
  // The one size without a negative counterpart does not overflow.
  Ok("grCreateFont", 0, {I(101), I(INT32_MIN), I(0), Argument::NullText()});
  EXPECT_EQ(Describe(Font(101)->font.get()).lfHeight, INT32_MAX);
  EXPECT_STREQ(Describe(Font(101)->font.get()).lfFaceName, "");
}

TEST_F(ChartFontTest, ReplacingANumberDeletesTheOldObject) {
  const size_t start = kvp::GdiLiveObjects();
  Ok("grCreateFont", 0, {I(5), I(10), I(0), T("Arial")});
  const kvp::HFONT first = Font(5)->font.get();
  EXPECT_EQ(kvp::GdiLiveObjects(), start + 1);
  Ok("grCreateFont", 1, {I(5), I(20), I(8), T("Courier"), I(0x112233)});
  EXPECT_EQ(kvp::GdiLiveObjects(), start + 1);
  EXPECT_EQ(kvp::GetObjectType(first), 0u);
  EXPECT_EQ(Fonts().entries.size(), 1u);
  EXPECT_EQ(Describe(Font(5)->font.get()).lfHeight, -20);
  EXPECT_EQ(Font(5)->colour, 0x112233u);
  Ok("grCreateFont", 0, {I(6), I(10), I(0), T("Arial")});
  EXPECT_EQ(Fonts().entries.size(), 2u);
  EXPECT_EQ(kvp::GdiLiveObjects(), start + 2);
}

TEST_F(ChartFontTest, ElementsTakeTheirOwnCopyAndColour) {
  Ok("grCreate", 0, {T("G"), I(1)});
  Ok("grCreateFont", 1, {I(1), I(15), I(8 | 2), T("Verdana"), I(0x0A0B0C)});
  const size_t start = kvp::GdiLiveObjects();
  const struct {
    const char* function;
    FontElement element;
  } elements[] = {{"grTitleFont", FontElement::kTitle},
                  {"grAxeTitleFont", FontElement::kAxisTitle},
                  {"grLegendFont", FontElement::kLegend},
                  {"grLabelFont", FontElement::kLabel}};
  for (const auto& e : elements) {
    const kvp::HFONT before = ModelOf("G").font(e.element).font.get();
    Ok(e.function, 0, {T("G"), I(1)});
    const kv::chart::ElementFont& font = ModelOf("G").font(e.element);
    EXPECT_NE(font.font.get(), Font(1)->font.get()) << e.function;
    EXPECT_EQ(kvp::GetObjectType(before), 0u) << e.function << ": old font still alive";
    const kvp::LOGFONTA d = Describe(font.font.get());
    EXPECT_STREQ(d.lfFaceName, "Verdana");
    EXPECT_EQ(d.lfHeight, -15);
    EXPECT_EQ(d.lfWeight, 700);
    EXPECT_EQ(d.lfUnderline, 1);
    EXPECT_EQ(font.colour, 0x0A0B0Cu);
  }
  EXPECT_EQ(kvp::GdiLiveObjects(), start);
  // Replacing the list's font leaves the charts' copies as they are.
  Ok("grCreateFont", 0, {I(1), I(30), I(0), T("Arial")});
  EXPECT_STREQ(Describe(ModelOf("G").font(FontElement::kTitle).font.get()).lfFaceName, "Verdana");
}

TEST_F(ChartFontTest, MissingFontIsMessage51) {
  Ok("grCreate", 0, {T("G"), I(1)});
  for (const char* function : {"grTitleFont", "grAxeTitleFont", "grLegendFont", "grLabelFont"}) {
    const CallOutcome outcome = Fails(function, 0, {T("G"), I(9)}, 2, 51);
    EXPECT_EQ(outcome.frenchText, Win1252("Police non créée , utilisez GrCréePolice"));
    EXPECT_EQ(outcome.englishText, "Uncreated Font , use GrCreateFont");
  }
  EXPECT_STREQ(Describe(ModelOf("G").font(FontElement::kTitle).font.get()).lfFaceName, "Arial");
  // The chart is looked for first.
  Fails("grTitleFont", 0, {T("NONE"), I(9)}, 2, 50);
}

TEST_F(ChartFontTest, CommandTwoDeletesEveryFontObject) {
  const size_t start = kvp::GdiLiveObjects();
  for (int i = 0; i < 5; ++i) Ok("grCreate", 0, {T("C" + std::to_string(i)), I(i)});
  for (int i = 0; i < 5; ++i) Ok("grCreateFont", 0, {I(i), I(10 + i), I(0), T("Arial")});
  Ok("grTitleFont", 0, {T("C1"), I(3)});
  // Four fonts per chart and one per list entry.
  EXPECT_EQ(kvp::GdiLiveObjects(), start + 5 * 4 + 5);
  Ok("grDeleteAll", 0, {T("C0")});
  EXPECT_EQ(kvp::GdiLiveObjects(), start + 4 * 4 + 5);
  ASSERT_TRUE(library_.DestroyInstance());
  EXPECT_EQ(kvp::GdiLiveObjects(), objectsBefore_);
}

}  // namespace
}  // namespace charttest
