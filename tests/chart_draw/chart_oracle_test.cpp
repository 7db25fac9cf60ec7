// Our pictures against independent renderings of the same charts: the
// metafiles as LibreOffice draws them and the PDF pages as poppler draws
// them, both compared with our raster drawing (the fixture made them).
//
// The threshold: after cutting each picture to its ink and scaling one onto
// the other, pixels count as differing when a colour channel is off by more
// than 96 of 255. Differences that remain between sound renderings are the
// anti-aliased edges of text and shapes and the one-pixel placement of
// glyphs (LibreOffice lays text out with its own metrics): a few percent
// at most, measured at 0.6 to 5.6 % over these charts (the most for the
// smallest chart, where text is a larger share of the picture). A wrong chart (a
// sector missing, a legend on the other side, columns of another height)
// differs by far more: the pie against the column chart differs by over
// 20 %, and each test checks such a pair too.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/chart_draw/image_compare.h"

namespace charttest {
namespace {

constexpr double kSameChart = 0.08;
constexpr double kOtherChart = 0.15;

std::string OracleDir() {
  const char* dir = std::getenv("KV_CHART_ORACLE_DIR");
  return dir != nullptr ? dir : "";
}

std::vector<std::string> ChartNames() {
  // The fixture leaves the list of the charts it drew beside them.
  std::ifstream list(OracleDir() + "/oracle_charts.txt");
  std::vector<std::string> names;
  std::string line;
  while (std::getline(list, line)) {
    if (line.empty() || line[0] == '#') continue;
    names.push_back(line.substr(0, line.find('|')));
  }
  return names;
}

TEST(ChartOracle, LibreOfficeDrawsOurMetafilesAsWeDrawTheChart) {
  ASSERT_FALSE(OracleDir().empty()) << "KV_CHART_ORACLE_DIR is not set";
  const std::vector<std::string> names = ChartNames();
  ASSERT_GE(names.size(), 30u);
  for (const std::string& name : names) {
    const Comparison c =
        ComparePngs(OracleDir() + "/" + name + ".png", OracleDir() + "/lo/" + name + ".png");
    ASSERT_TRUE(c.loaded) << name;
    EXPECT_LT(c.differing, kSameChart) << name;
    // Same proportions of the inked boxes, within a few pixels.
    EXPECT_NEAR(static_cast<double>(c.otherWidth) / c.otherHeight,
                static_cast<double>(c.width) / c.height, 0.08)
        << name;
    std::printf("%-16s LibreOffice %5.2f %%\n", name.c_str(), 100 * c.differing);
  }
  const Comparison wrong =
      ComparePngs(OracleDir() + "/pie_right.png", OracleDir() + "/lo/column_right.png");
  EXPECT_GT(wrong.differing, kOtherChart);
}

TEST(ChartOracle, PopplerDrawsOurPdfPagesAsWeDrawTheChart) {
  ASSERT_FALSE(OracleDir().empty()) << "KV_CHART_ORACLE_DIR is not set";
  for (const std::string& name : ChartNames()) {
    const Comparison c =
        ComparePngs(OracleDir() + "/" + name + ".png", OracleDir() + "/" + name + "-pdf.png");
    ASSERT_TRUE(c.loaded) << name;
    EXPECT_LT(c.differing, kSameChart) << name;
    std::printf("%-16s poppler     %5.2f %%\n", name.c_str(), 100 * c.differing);
    // The page is the printer's A4.
    std::ifstream info(OracleDir() + "/" + name + ".pdfinfo");
    std::stringstream text;
    text << info.rdbuf();
    EXPECT_NE(text.str().find("Page size:       595.2 x 841.92 pts (A4)"), std::string::npos)
        << text.str();
    EXPECT_NE(text.str().find("Pages:           1\n"), std::string::npos);
  }
  const Comparison wrong =
      ComparePngs(OracleDir() + "/column_right.png", OracleDir() + "/pie_right-pdf.png");
  EXPECT_GT(wrong.differing, kOtherChart);
}

}  // namespace
}  // namespace charttest
