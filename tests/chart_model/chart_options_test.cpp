// Settings that only some chart types keep, and grType, which carries a
// chart's whole content over to a chart of another type.
#include <cmath>

#include "tests/chart_model/chart_fixture.h"
#include "tests/support/temp_dir.h"

namespace charttest {
namespace {

using kv::chart::ChartType;
using kv::chart::FindMenuItem;
using kv::chart::MenuLanguage;

constexpr double kFullTurn = 6.28318530718;

double Radians(int degrees) {
  return degrees / 360.0 * kFullTurn;
}

uint16_t State(const kv::chart::Chart& chart, uint16_t command) {
  return FindMenuItem(chart.menu(MenuLanguage::kEnglish), command)->state;
}

TEST_F(ChartTest, PointSizeIsClampedOnScatterAndIgnoredElsewhere) {
  Ok("grCreate", 0, {T("S"), I(5)});
  EXPECT_EQ(ModelOf("S").PointSize(), 2);
  const struct {
    int32_t given;
    int32_t kept;
  } cases[] = {{0, 1}, {50, 20}, {-7, 1}, {20, 20}, {1, 1}, {9, 9}, {INT32_MIN, 1}};
  for (const auto& c : cases) {
    Ok("grScatterPointSize", 0, {T("S"), I(c.given)});
    EXPECT_EQ(ModelOf("S").PointSize(), c.kept) << c.given;
  }
  Ok("grCreate", 0, {T("C"), I(1)});
  Ok("grScatterPointSize", 0, {T("C"), I(7)});
  EXPECT_EQ(ModelOf("C").PointSize(), 2);
  Ok("grScatterLinkPoint", 0, {T("C"), I(0)});
  EXPECT_EQ(ModelOf("C").LinkPoints(), 1);
  Ok("grScatterLinkPoint", 0, {T("S"), I(0)});
  EXPECT_EQ(ModelOf("S").LinkPoints(), 0);
}

TEST_F(ChartTest, StartAngleInWholeDegrees) {
  Ok("grCreate", 0, {T("P"), I(0)});
  const struct {
    int32_t given;
    int kept;
  } cases[] = {{-90, 270}, {90, 90}, {360, 0}, {725, 5}, {-32768, 352}, {0x10000 + 45, 45}};
  for (const auto& c : cases) {
    Ok("grPieStartAngle", 0, {T("P"), I(c.given)});
    EXPECT_NEAR(ModelOf("P").StartAngle(), Radians(c.kept), 1e-12) << c.given;
  }
  Ok("grCreate", 0, {T("C"), I(2)});
  Ok("grPieStartAngle", 0, {T("C"), I(90)});
  EXPECT_EQ(ModelOf("C").StartAngle(), 0.0);
}

TEST_F(ChartTest, ExplodedSectors) {
  Ok("grCreate", 0, {T("P"), I(3)});
  Ok("grPieEccentred", 0, {T("P"), I(3), I(-150)});
  const kv::chart::Chart& pie = ModelOf("P");
  EXPECT_EQ(pie.ExplodedSector(3), 100);
  EXPECT_EQ(pie.ExplodedSector(1), 0);
  EXPECT_EQ(pie.ExplodedSectorCount(), 3u);
  EXPECT_TRUE(pie.settingsChanged());
  Ok("grPieEccentred", 0, {T("P"), I(1), I(-30)});
  Ok("grPieEccentred", 0, {T("P"), I(2), I(INT32_MIN)});
  EXPECT_EQ(ModelOf("P").ExplodedSector(1), 30);
  EXPECT_EQ(ModelOf("P").ExplodedSector(2), 100);
  Fails("grPieEccentred", 0, {T("P"), I(0), I(10)}, 2, 3);
  Fails("grPieEccentred", 0, {T("P"), I(INT32_MAX), I(10)}, 2, 3);
  EXPECT_EQ(ModelOf("P").ExplodedSectorCount(), 3u);
  // Other types ignore it.
  Ok("grCreate", 0, {T("C"), I(1)});
  Ok("grPieEccentred", 0, {T("C"), I(INT32_MAX), I(10)});
  EXPECT_FALSE(ModelOf("C").settingsChanged());
}

TEST_F(ChartTest, GridSwitchesAndTheirMenuItems) {
  Ok("grCreate", 0, {T("CURVE"), I(2)});
  Ok("grQuadrillage", 0, {T("CURVE"), I(1), I(0)});
  Ok("grQuadrillage", 0, {T("CURVE"), I(1), I(7)});
  EXPECT_EQ(ModelOf("CURVE").VerticalGrid(), 1);
  EXPECT_EQ(ModelOf("CURVE").HorizontalGrid(), 1);
  EXPECT_EQ(State(ModelOf("CURVE"), 4010), 1);
  EXPECT_EQ(State(ModelOf("CURVE"), 4020), 1);
  Ok("grQuadrillage", 0, {T("CURVE"), I(0), I(0)});
  EXPECT_EQ(ModelOf("CURVE").VerticalGrid(), 0);
  EXPECT_EQ(State(ModelOf("CURVE"), 4020), 0);

  // A column chart has a horizontal grid only; a pie has none.
  Ok("grCreate", 0, {T("COL"), I(1)});
  Ok("grQuadrillage", 0, {T("COL"), I(1), I(0)});
  Ok("grQuadrillage", 0, {T("COL"), I(1), I(1)});
  EXPECT_EQ(ModelOf("COL").VerticalGrid(), 0);
  EXPECT_EQ(ModelOf("COL").HorizontalGrid(), 1);
  EXPECT_EQ(State(ModelOf("COL"), 4020), 0);
  EXPECT_EQ(State(ModelOf("COL"), 4010), 1);
  Ok("grCreate", 0, {T("PIE"), I(0)});
  Ok("grQuadrillage", 0, {T("PIE"), I(1), I(1)});
  EXPECT_EQ(ModelOf("PIE").HorizontalGrid(), 0);
  EXPECT_EQ(State(ModelOf("PIE"), 4010), 0);
}

TEST_F(ChartTest, AxisTitlesStepsSpacingAndRelief) {
  Ok("grCreate", 0, {T("C"), I(4)});
  Ok("grAxisTitle", 0, {T("C"), T("Euros"), I(0)});
  Ok("grAxisTitle", 0, {T("C"), T("Months"), I(1)});
  Ok("grGraduate", 0, {T("C"), D(-2.5), I(0)});
  Ok("grGraduate", 0, {T("C"), D(3.0), I(1)});
  Ok("grColumnSpacement", 0, {T("C"), I(0x10000 + 25)});
  Ok("grRelief", 0, {T("C"), I(-15)});
  const kv::chart::Chart& column3d = ModelOf("C");
  EXPECT_EQ(column3d.VerticalAxisTitle(), "Euros");
  EXPECT_EQ(column3d.VerticalAxisTitleLength(), 5u);
  EXPECT_EQ(column3d.HorizontalAxisTitle(), "");  // columns have no horizontal-axis title
  EXPECT_EQ(column3d.VerticalStep(), 2.5);
  EXPECT_EQ(column3d.HorizontalStep(), 0.0);
  EXPECT_EQ(column3d.ColumnSpacing(), 25);
  EXPECT_EQ(column3d.ReliefDepth(), 15);

  Ok("grCreate", 0, {T("S"), I(5)});
  Ok("grAxisTitle", 0, {T("S"), T("Width"), I(1)});
  Ok("grGraduate", 0, {T("S"), D(-0.5), I(1)});
  Ok("grColumnSpacement", 0, {T("S"), I(3)});
  EXPECT_EQ(ModelOf("S").HorizontalAxisTitle(), "Width");
  EXPECT_EQ(ModelOf("S").HorizontalAxisTitleLength(), 5u);
  EXPECT_EQ(ModelOf("S").HorizontalStep(), -0.5);
  EXPECT_EQ(ModelOf("S").ColumnSpacing(), 10);
}

// Everything grType must carry: built on one chart, compared on the other.
// The drawing writes a metafile file: each test writes its own, so that
// tests running side by side do not write one file at once.
class ChartTypeTest : public ChartTest {
 protected:
  kvtest::TempDir output_;

  void Fill(const std::string& name, int type) {
    Ok("grCreate", 0, {T(name), I(type)});
    Ok("grTitle", 2, {T(name), T("Title"), I(2)});
    Ok("grLegend", 0, {T(name), I(1)});
    Ok("grDestinationWMF", 0, {T(name), T(output_.File("chart.wmf"))});
    Ok("grWndSize", 0, {T(name), I(1), I(2), I(300), I(200)});
    Ok("grLabel", 0, {T(name), I(1), I(1)});
    Ok("grAddData", 0, {T(name), I(1), D(4.0)});
    Ok("grAddData", 1, {T(name), I(2), I(3), D(-6.0)});
    Ok("grSerialLabel", 0, {T(name), I(1), T("first")});
    Ok("grSerialColor", 0, {T(name), I(1), I(0x010203)});
    Ok("grCategoryLabel", 0, {T(name), I(2), T("Feb")});
    Ok("grMenu", 1, {T(name), I(0)});
    Ok("grMenuOption", 0, {T(name), I(50), T("Out")});
    Ok("grCreateFont", 1, {I(7), I(11), I(8 | 4), T("Courier"), I(0x00FF00)});
    Ok("grTitleFont", 0, {T(name), I(7)});
    Ok("grQuadrillage", 0, {T(name), I(1), I(0)});
    Ok("grQuadrillage", 0, {T(name), I(1), I(1)});
    Ok("grAxisTitle", 0, {T(name), T("V"), I(0)});
    Ok("grAxisTitle", 0, {T(name), T("H"), I(1)});
    Ok("grGraduate", 0, {T(name), D(5.0), I(0)});
    Ok("grGraduate", 0, {T(name), D(0.25), I(1)});
    Ok("grColumnSpacement", 0, {T(name), I(30)});
    Ok("grRelief", 0, {T(name), I(12)});
    Ok("grScatterPointSize", 0, {T(name), I(6)});
    Ok("grScatterLinkPoint", 0, {T(name), I(0)});
    Ok("grPieStartAngle", 0, {T(name), I(-90)});
    Ok("grPieEccentred", 0, {T(name), I(2), I(40)});
    Ok("grDraw", 0, {T(name)});
  }
};

TEST_F(ChartTypeTest, CommonContentIsCarriedToEveryType) {
  for (int from = 0; from <= 5; ++from) {
    for (int to = 0; to <= 5; ++to) {
      const std::string name = "T" + std::to_string(from) + std::to_string(to);
      Fill(name, from);
      const size_t place = *kv::chart::FindChart(*instance().charts, name);
      const kv::chart::Chart* before = Model(name);
      const kvp::HFONT oldTitleFont = before->font(kv::chart::FontElement::kTitle).font.get();
      const size_t objects = kvp::GdiLiveObjects();

      Ok("grType", 0, {T(name), I(to)});
      const kv::chart::Chart& chart = ModelOf(name);
      SCOPED_TRACE(name);
      EXPECT_EQ(chart.type(), static_cast<ChartType>(to));
      EXPECT_EQ(*kv::chart::FindChart(*instance().charts, name), place);
      EXPECT_EQ(chart.list, instance().charts);
      EXPECT_EQ(chart.module, library_.module());
      EXPECT_TRUE(chart.settingsChanged());
      EXPECT_EQ(chart.pending.title, "Title");
      EXPECT_EQ(chart.applied.title, "Title");
      EXPECT_EQ(chart.pending.legendPosition, 1);
      EXPECT_EQ(chart.pending.destinationKind, kv::chart::DestinationKind::kMetafile);
      EXPECT_EQ(chart.printRect.right, 300);
      EXPECT_EQ(chart.labelDisplay[1], 1);
      EXPECT_EQ(chart.data.Value(1, 1), 4.0);
      EXPECT_EQ(chart.data.Value(2, 3), -6.0);
      EXPECT_EQ(chart.data.Minimum(), -6.0);
      EXPECT_EQ(chart.data.SeriesLabel(1), "first");
      EXPECT_EQ(chart.data.SeriesColour(1), 0x010203u);
      EXPECT_EQ(chart.data.CategoryLabel(2), "Feb");
      EXPECT_EQ(chart.data.CategoryCount(), 3);
      EXPECT_EQ(chart.menuEnabled, 0);
      EXPECT_EQ(FindMenuItem(chart.menu(MenuLanguage::kFrench), 50)->text, "Out");
      EXPECT_EQ(State(chart, kv::chart::TypeMenuCommand(static_cast<ChartType>(to))), 1);
      if (from != to) {
        EXPECT_EQ(State(chart, kv::chart::TypeMenuCommand(static_cast<ChartType>(from))), 0);
      }
      EXPECT_EQ(State(chart, kv::chart::kMenuLegendRight), 1);

      // The fonts are the chart's own copies: the old chart's went with it.
      const kv::chart::ElementFont& title = chart.font(kv::chart::FontElement::kTitle);
      EXPECT_NE(title.font.get(), oldTitleFont);
      EXPECT_EQ(kvp::GetObjectType(oldTitleFont), 0u);
      EXPECT_EQ(kvp::GdiLiveObjects(), objects);
      const kvp::LOGFONTA d = Describe(title.font.get());
      EXPECT_STREQ(d.lfFaceName, "Courier");
      EXPECT_EQ(d.lfHeight, -11);
      EXPECT_EQ(d.lfWeight, 700);
      EXPECT_EQ(d.lfItalic, 1);
      EXPECT_EQ(title.colour, 0x00FF00u);
      EXPECT_STREQ(Describe(chart.font(kv::chart::FontElement::kLegend).font.get()).lfFaceName,
                   "Arial");
    }
  }
}

TEST_F(ChartTypeTest, TypeSpecificSettingsGoThroughGettersAndSetters) {
  struct Expected {
    int32_t verticalGrid, horizontalGrid;
    const char* verticalTitle;
    const char* horizontalTitle;
    double verticalStep, horizontalStep;
    int32_t spacing, relief, pointSize, linkPoints, angle, exploded;
  };
  // What each type keeps of the settings Fill gives (the others read as the
  // values a chart of that type starts with).
  const Expected kept[] = {
      /* pie */ {0, 0, "", "", 0.0, 0.0, 10, 10, 2, 1, 270, 40},
      /* column */ {0, 1, "V", "", 5.0, 0.0, 30, 10, 2, 1, 0, 0},
      /* curve */ {1, 1, "V", "H", 5.0, 0.0, 10, 10, 2, 1, 0, 0},
      /* pie 3D */ {0, 0, "", "", 0.0, 0.0, 10, 12, 2, 1, 270, 40},
      /* column 3D */ {0, 1, "V", "", 5.0, 0.0, 30, 12, 2, 1, 0, 0},
      /* scatter */ {1, 1, "V", "H", 5.0, 0.25, 10, 10, 6, 0, 0, 0},
  };
  for (int from = 0; from <= 5; ++from) {
    for (int to = 0; to <= 5; ++to) {
      const std::string name = "T" + std::to_string(from) + std::to_string(to);
      Fill(name, from);
      Ok("grType", 0, {T(name), I(to)});
      const kv::chart::Chart& chart = ModelOf(name);
      SCOPED_TRACE(name);
      const Expected& k = kept[to];
      const Expected& f = kept[from];
      auto both = [&](auto Expected::*field, auto fallback) {
        // A setting survives when both types keep it; otherwise the new
        // type's initial value shows.
        return k.*field != fallback && f.*field != fallback ? k.*field : fallback;
      };
      EXPECT_EQ(chart.VerticalGrid(), both(&Expected::verticalGrid, 0));
      EXPECT_EQ(chart.HorizontalGrid(), both(&Expected::horizontalGrid, 0));
      EXPECT_EQ(chart.VerticalAxisTitle(),
                std::string_view(both(&Expected::verticalTitle, static_cast<const char*>(""))));
      EXPECT_EQ(chart.HorizontalAxisTitle(),
                std::string_view(both(&Expected::horizontalTitle, static_cast<const char*>(""))));
      EXPECT_EQ(chart.VerticalStep(), both(&Expected::verticalStep, 0.0));
      EXPECT_EQ(chart.HorizontalStep(), both(&Expected::horizontalStep, 0.0));
      EXPECT_EQ(chart.ColumnSpacing(), both(&Expected::spacing, 10));
      EXPECT_EQ(chart.ReliefDepth(), both(&Expected::relief, 10));
      EXPECT_EQ(chart.PointSize(), both(&Expected::pointSize, 2));
      EXPECT_EQ(chart.LinkPoints(), both(&Expected::linkPoints, 1));
      EXPECT_NEAR(chart.StartAngle(), Radians(both(&Expected::angle, 0)), 1e-12);
      EXPECT_EQ(chart.ExplodedSector(2), both(&Expected::exploded, 0));
      EXPECT_EQ(State(chart, 4010), chart.HorizontalGrid() != 0 ? 1 : 0);
      EXPECT_EQ(State(chart, 4020), chart.VerticalGrid() != 0 ? 1 : 0);
    }
  }
}

TEST_F(ChartTypeTest, NumbersOutsideTheTypesGiveACurve) {
  Fill("X", 0);
  Ok("grType", 0, {T("x"), I(42)});
  EXPECT_EQ(ModelOf("X").type(), ChartType::kCurve);
  Fails("grType", 0, {T("nothing"), I(1)}, 2, 50);
}

}  // namespace
}  // namespace charttest
