// Chart drawing tests: charts built through the harness and drawn into
// metafile files in a temporary folder, read back with the independent
// reader.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/chart_draw/wmf_reader.h"
#include "tests/chart_model/chart_fixture.h"

namespace charttest {

class DrawTest : public ChartTest {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kvchart-draw-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    ChartTest::SetUp();
  }
  void TearDown() override {
    ChartTest::TearDown();
    std::filesystem::remove_all(folder_);
  }

  std::string PathOf(const std::string& file) const { return folder_ + "/" + file; }

  // A chart of the type with the values as series 1 (and more series when
  // given), its categories labelled C1, C2, ...
  void MakeChart(const std::string& name, int type,
                 const std::vector<std::vector<double>>& series) {
    Ok("grCreate", 0, {T(name), I(type)});
    for (size_t s = 0; s < series.size(); ++s) {
      for (size_t c = 0; c < series[s].size(); ++c) {
        Ok("grAddData", 1,
           {T(name), I(static_cast<int>(s + 1)), I(static_cast<int>(c + 1)), D(series[s][c])});
      }
    }
    for (size_t c = 0; !series.empty() && c < series[0].size(); ++c) {
      Ok("grCategoryLabel", 0,
         {T(name), I(static_cast<int>(c + 1)), T("C" + std::to_string(c + 1))});
    }
  }

  // Draws the chart into a metafile file; the outcome of grDraw.
  CallOutcome DrawWmf(const std::string& name, const std::string& file) {
    Ok("grDestinationWMF", 0, {T(name), T(PathOf(file))});
    return Call("grDraw", 0, {T(name)});
  }

  // The file read back; the test fails when the reader finds a fault.
  WmfFile ReadBack(const std::string& file) {
    std::string problem;
    WmfFile wmf = ReadWmf(ReadFileBytes(PathOf(file)), problem);
    EXPECT_TRUE(problem.empty()) << file << ": " << problem;
    return wmf;
  }

  std::string folder_;
};

}  // namespace charttest
