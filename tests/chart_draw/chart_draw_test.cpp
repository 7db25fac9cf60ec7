// Chart drawings read back from their metafile files: the layout rules and
// edge cases of each chart type, and the faults they must not have.
#include <cmath>
#include <limits>

#include "kv/chart.h"
#include "platform/gdi/metafile.h"
#include "platform/kernel/fault.h"
#include "tests/chart_draw/draw_fixture.h"

namespace charttest {
namespace {

// The angle of a point seen from the centre, counter-clockwise from the
// positive x axis (y grows downwards).
double AngleOf(int16_t x, int16_t y, double cx, double cy) {
  return std::atan2(cy - y, x - cx);
}

struct PieRecord {
  double cx, cy, radius, start, end;  // start: clockwise side (second radial)
};

std::vector<PieRecord> Pies(const WmfFile& file) {
  std::vector<PieRecord> pies;
  for (const WmfRecord* r : file.All(kvp::META_PIE)) {
    const auto& p = r->parameters;  // y2 x2 y1 x1 bottom right top left
    const double cx = (p[7] + p[5]) / 2.0, cy = (p[6] + p[4]) / 2.0;
    pies.push_back(PieRecord{cx, cy, (p[5] - p[7]) / 2.0, AngleOf(p[1], p[0], cx, cy),
                             AngleOf(p[3], p[2], cx, cy)});
  }
  return pies;
}

double Wrapped(double a) {
  while (a > M_PI) a -= 2 * M_PI;
  while (a <= -M_PI) a += 2 * M_PI;
  return a;
}

TEST_F(DrawTest, PieSectorsStartAtTheTopGoClockwiseAndOverlapByAHairline) {
  MakeChart("pie", 0, {{10, 20, 30, 40}});
  ASSERT_EQ(DrawWmf("pie", "pie.wmf").returned, 1);
  const WmfFile file = ReadBack("pie.wmf");
  EXPECT_EQ(file.unitsPerInch, 10);
  EXPECT_EQ(file.left, 1);  // no print rectangle: (1, 1, 638, 478)
  EXPECT_EQ(file.top, 1);
  EXPECT_EQ(file.right, 638);
  EXPECT_EQ(file.bottom, 478);
  const std::vector<PieRecord> pies = Pies(file);
  ASSERT_EQ(pies.size(), 4u);
  const double tolerance = 1.5 / pies[0].radius;  // one rounded pixel on the rim
  // The first sector begins 0.02 before the top (counter-clockwise of it).
  EXPECT_NEAR(Wrapped(pies[0].start - M_PI / 2), 0.02, tolerance);
  double expectedEnd = M_PI / 2;
  const double shares[4] = {10, 20, 30, 40};
  for (size_t i = 0; i < 4; ++i) {
    expectedEnd -= shares[i] / 100 * 2 * M_PI;  // clockwise
    if (i < 3) {
      // Each end reaches 0.02 into the next sector, which starts exactly at
      // the share's boundary.
      EXPECT_NEAR(Wrapped(pies[i].end - (expectedEnd - 0.02)), 0, tolerance) << i;
      EXPECT_NEAR(Wrapped(pies[i + 1].start - expectedEnd), 0, tolerance) << i;
    } else {
      EXPECT_NEAR(Wrapped(pies[i].end - M_PI / 2), 0, tolerance);  // the last ends at the top
    }
  }
}

TEST_F(DrawTest, APieOfOneCategoryIsAWholeCircle) {
  MakeChart("one", 0, {{42}});
  ASSERT_EQ(DrawWmf("one", "one.wmf").returned, 1);
  const WmfFile file = ReadBack("one.wmf");
  EXPECT_EQ(file.Count(kvp::META_PIE), 0u);
  ASSERT_EQ(file.Count(kvp::META_ELLIPSE), 1u);
  const auto& e = file.All(kvp::META_ELLIPSE)[0]->parameters;
  EXPECT_EQ(e[1] - e[3], e[0] - e[2]);  // a circle
}

TEST_F(DrawTest, StartAngleAndExplodedSectors) {
  MakeChart("turn", 3, {{25, 25, 50}});
  Ok("grPieStartAngle", 0, {T("turn"), I(90)});
  Ok("grPieEccentred", 0, {T("turn"), I(2), I(20)});
  ASSERT_EQ(DrawWmf("turn", "turn.wmf").returned, 1);
  const std::vector<PieRecord> pies = Pies(ReadBack("turn.wmf"));
  ASSERT_GE(pies.size(), 3u);
  // The top layer is drawn last: its three sectors.
  const PieRecord* top = &pies[pies.size() - 3];
  // Turned by 90 degrees clockwise: the first sector starts at the right,
  // 0.02 before it since neither the first nor the last is exploded.
  EXPECT_NEAR(Wrapped(top[0].start - 0.02), 0, 0.03);
  // The exploded second sector (from the bottom to the left) sits off the
  // centre of the others along its bisector: down and to the left.
  EXPECT_LT(top[1].cx, top[0].cx);
  EXPECT_GT(top[1].cy, top[0].cy);
  EXPECT_NEAR(std::hypot(top[1].cx - top[0].cx, top[1].cy - top[0].cy), 20, 1.5);
  EXPECT_DOUBLE_EQ(top[0].cx, top[2].cx);
}

TEST_F(DrawTest, NothingDrawableGivesErrorState2) {
  Ok("grCreate", 0, {T("empty"), I(0)});
  Ok("grDestinationWMF", 0, {T("empty"), T(PathOf("empty.wmf"))});
  Fails("grDraw", 0, {T("empty")}, 1, 2);
  EXPECT_FALSE(std::filesystem::exists(PathOf("empty.wmf")));
  MakeChart("zeros", 1, {{0, 0, 0}});
  const CallOutcome zeros = DrawWmf("zeros", "zeros.wmf");
  EXPECT_EQ(zeros.returned, 0);
  EXPECT_EQ(zeros.errorMessage, 2u);
  // Series 1 sums to 0 while series 2 holds data: no sector has a share.
  MakeChart("nopie", 0, {{0, 0}, {5, 7}});
  const CallOutcome nopie = DrawWmf("nopie", "nopie.wmf");
  EXPECT_EQ(nopie.returned, 0);
  EXPECT_EQ(nopie.errorMessage, 2u);
  EXPECT_EQ(nopie.englishText, "Incorrect data");
}

TEST_F(DrawTest, ValuesThatAreNotNumbersAreNotDrawable) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (int type = 0; type <= 5; ++type) {
    for (double bad : {nan, inf, -inf}) {
      const std::string name = "bad" + std::to_string(type);
      MakeChart(name, type, {{1, bad, 3}, {2, 2, 2}});
      const CallOutcome outcome = DrawWmf(name, name + ".wmf");
      EXPECT_EQ(outcome.returned, 0) << type;
      EXPECT_EQ(outcome.errorMessage, 2u) << type;
    }
  }
  // Values at the ends of the doubles: a range that overflows is refused,
  // a huge one that does not is drawn with clamped coordinates.
  MakeChart("overflow", 1, {{1e308, -1e308}});
  EXPECT_EQ(DrawWmf("overflow", "overflow.wmf").errorMessage, 2u);
  MakeChart("huge", 2, {{1e300, -1e300, 5}});
  ASSERT_EQ(DrawWmf("huge", "huge.wmf").returned, 1);
  ReadBack("huge.wmf");
}

TEST_F(DrawTest, ATinyUserStepFallsBackToTheAutomaticOne) {
  MakeChart("steps", 1, {{0, 7}});
  Ok("grGraduate", 0, {T("steps"), D(1e-300), I(0)});
  ASSERT_EQ(DrawWmf("steps", "steps.wmf").returned, 1);
  const WmfFile file = ReadBack("steps.wmf");
  // Ticks and labels of a handful of graduations, not of 1e300.
  EXPECT_LT(file.Count(kvp::META_TEXTOUT), 40u);
  EXPECT_GT(file.Count(kvp::META_TEXTOUT), 4u);
}

TEST_F(DrawTest, ManyColumnsCountIn64BitsAndZeroWidthColumnsAreSkipped) {
  Ok("grCreate", 0, {T("wide"), I(1)});
  for (int s = 1; s <= 4; ++s) {
    Ok("grAddData", 1, {T("wide"), I(s), I(3000), D(s)});
  }
  ASSERT_EQ(DrawWmf("wide", "wide.wmf").returned, 1);
  const WmfFile file = ReadBack("wide.wmf");
  // 12000 columns of which the 4 of category 3000 have a height; none of
  // them is wider than 0 pixels unless the plot has room: never more
  // rectangles than pixels across.
  EXPECT_LT(file.Count(kvp::META_RECTANGLE), 700u);
}

TEST_F(DrawTest, ANarrowColumnChartDrawsNothingAndReportsNoError) {
  MakeChart("narrow", 1, {{1, 2, 3}});
  Ok("grDestinationWMF", 0, {T("narrow"), T(PathOf("narrow.wmf"))});
  Ok("grWndSize", 0, {T("narrow"), I(0), I(0), I(79), I(200)});
  Ok("grDraw", 0, {T("narrow")});
  const WmfFile file = ReadBack("narrow.wmf");
  EXPECT_EQ(file.Count(kvp::META_RECTANGLE), 0u);
  EXPECT_EQ(file.Count(kvp::META_TEXTOUT), 0u);
  EXPECT_EQ(file.right, 79);
}

TEST_F(DrawTest, AScatterChartOfOneSeriesHasAnEmptyLegend) {
  Ok("grCreate", 0, {T("lonely"), I(5)});
  for (int c = 1; c <= 4; ++c) Ok("grAddData", 1, {T("lonely"), I(1), I(c), D(c * 3.0)});
  Ok("grLegend", 0, {T("lonely"), I(1)});
  ASSERT_EQ(DrawWmf("lonely", "lonely.wmf").returned, 1);
  ReadBack("lonely.wmf");
  Ok("grLegend", 0, {T("lonely"), I(2)});
  ASSERT_EQ(DrawWmf("lonely", "lonely2.wmf").returned, 1);
  ReadBack("lonely2.wmf");
}

TEST_F(DrawTest, MetafileTextIsMeasuredOnTheScreenWithTheMetafilesFontSelectedBack) {
  MakeChart("texts", 0, {{1, 2}});
  Ok("grTitle", 2, {T("texts"), T("Title"), I(1)});
  Ok("grLabel", 0, {T("texts"), I(2), I(1)});
  ASSERT_EQ(DrawWmf("texts", "texts.wmf").returned, 1);
  const WmfFile file = ReadBack("texts.wmf");
  // Each measurement selects the probe font (a create and a select), then
  // the font it displaced, and only then deletes the probe.
  ASSERT_GT(file.Count(kvp::META_CREATEFONTINDIRECT), 2u);
  int probes = 0;
  for (size_t i = 0; i + 3 < file.records.size(); ++i) {
    const WmfRecord* r = &file.records[i];
    if (r[0].function != kvp::META_CREATEFONTINDIRECT || r[1].function != kvp::META_SELECTOBJECT ||
        r[2].function != kvp::META_SELECTOBJECT || r[3].function != kvp::META_DELETEOBJECT)
      continue;
    EXPECT_EQ(r[0].parameters[0], 16);  // the probe: "Arial" of height 16
    EXPECT_NE(r[2].parameters[0], r[1].parameters[0]);
    EXPECT_EQ(r[3].parameters[0], r[1].parameters[0]);
    ++probes;
  }
  EXPECT_GT(probes, 2);
  // Titles and labels are transparent.
  for (const WmfRecord* r : file.All(kvp::META_SETBKMODE)) EXPECT_EQ(r->parameters[0], 1);
}

TEST_F(DrawTest, AMetafileThatCannotBeWrittenIsRemovedAndReported) {
  MakeChart("full", 2, {{1, 5, 3}});
  // The second write (the records after the header) fails: a full disk.
  kvp::fault::Reset();
  kvp::fault::Arm(kvp::fault::Op::Write, 2, kvp::ERROR_DISK_FULL);
  const CallOutcome outcome = DrawWmf("full", "full.wmf");
  kvp::fault::Reset();
  EXPECT_EQ(outcome.returned, 0);
  EXPECT_EQ(outcome.errorMessage, 1u);
  EXPECT_FALSE(std::filesystem::exists(PathOf("full.wmf")));
  // A folder that does not exist: nothing is created.
  Ok("grDestinationWMF", 0, {T("full"), T(PathOf("no/such/folder.wmf"))});
  EXPECT_EQ(Call("grDraw", 0, {T("full")}).errorMessage, 1u);
  // And with the disk back, the same chart is written.
  ASSERT_EQ(DrawWmf("full", "full.wmf").returned, 1);
  ReadBack("full.wmf");
}

TEST_F(DrawTest, EveryTypeAndOptionGivesASoundMetafile) {
  int n = 0;
  for (int type = 0; type <= 5; ++type) {
    for (int legend = 0; legend <= 2; ++legend) {
      for (int title = 0; title <= 2; ++title) {
        const std::string name = "all" + std::to_string(++n);
        MakeChart(name, type, {{3, -1.5, 8, 2.25}, {1, 2, 3, 4}, {4, 4, -2, 1}, {0.5, 1, 1.5, 2}});
        Ok("grLegend", 0, {T(name), I(legend)});
        Ok("grTitle", 2,
           {T(name),
            T("T\xe9l\xe9"
              "com"),
            I(title)});
        for (int which = 0; which < 3; ++which)
          Ok("grLabel", 0, {T(name), I(which), I((n >> which) & 1)});
        Ok("grQuadrillage", 0, {T(name), I(n & 1), I(1)});
        Ok("grQuadrillage", 0, {T(name), I((n >> 1) & 1), I(0)});
        Ok("grAxisTitle", 0, {T(name), T("units"), I(0)});
        Ok("grAxisTitle", 0, {T(name), T("time"), I(1)});
        ASSERT_EQ(DrawWmf(name, name + ".wmf").returned, 1) << name;
        const WmfFile file = ReadBack(name + ".wmf");
        EXPECT_GT(file.records.size(), 10u) << name;
      }
    }
  }
}

}  // namespace
}  // namespace charttest
