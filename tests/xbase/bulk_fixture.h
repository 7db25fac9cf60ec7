// The bulk build tests run with the test's directory as the current one,
// where the sort file goes, so that what a build leaves behind is seen.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <utility>
#include <vector>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/bulk_support.h"
#include "tests/xbase/ndx_support.h"

namespace kvtest {

class BulkTest : public EngineTest {
 protected:
  void SetUp() override {
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    previousDir_ = cwd;
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    EngineTest::SetUp();
  }
  void TearDown() override {
    for (XBHANDLE h : openData_) XBDDCLOSE(h);
    EngineTest::TearDown();
    EXPECT_TRUE(SortFilesIn(dir_.path()).empty()) << "a sort file was left behind";
    EXPECT_EQ(chdir(previousDir_.c_str()), 0);
  }

  // Restarts the engine with "asciisort" 0 (read at start).
  void UseCollatingOrder() {
    XBDTERM();
    std::ofstream ini(profileDir_.File("KVDB4XX.INI"));
    ini << "[sort]\nasciisort=0\n";
    ini.close();
    ASSERT_EQ(XBDINIT(100, 4), 0);
  }

  XBHANDLE OpenData(const std::string& path, uint16_t mode = XB_OPEN_SHARED) {
    XBHANDLE h = XB_NO_HANDLE;
    EXPECT_EQ(XBDDOPENX(&h, path.c_str(), mode), 0);
    if (h != XB_NO_HANDLE) openData_.push_back(h);
    return h;
  }

  // The index of NAME over records of ScatteredName holds every record in
  // key order and passes the checker.
  void ExpectGoodNameIndex(const std::string& ndx, uint32_t count) {
    NdxCheckOptions options;
    options.compacted = true;
    const NdxCheckResult result = CheckNdxFile(ndx, options);
    ASSERT_EQ(result.error, "") << ndx;
    ASSERT_EQ(result.entries.size(), count) << ndx;
    std::vector<std::pair<std::string, uint32_t>> expected;
    for (uint32_t r = 1; r <= count; ++r) expected.emplace_back(ScatteredName(r), r);
    std::sort(expected.begin(), expected.end());
    for (uint32_t i = 0; i < count; ++i) {
      ASSERT_EQ(result.entries[i].key, expected[i].first) << ndx << " " << i;
      ASSERT_EQ(result.entries[i].record, expected[i].second) << ndx << " " << i;
    }
  }

  std::vector<XBHANDLE> openData_;
  std::string previousDir_;
};

}  // namespace kvtest
