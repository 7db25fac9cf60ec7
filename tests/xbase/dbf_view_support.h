// The data files and the fixture of the tests of mapped record reads: a
// table of numbered records, and a check of one record through every read
// export.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/dbf_builder.h"
#include "tests/support/engine_fixture.h"

namespace kvtest {

// NAME C(10), NUM N(8,2), BORN D, OK L: 28 bytes a record.
inline DbfBuilder ViewTable(int records) {
  DbfBuilder b;
  b.Field("NAME", 'C', 10).Field("NUM", 'N', 8, 2).Field("BORN", 'D', 8).Field("OK", 'L', 1);
  for (int r = 1; r <= records; ++r)
    b.Row({"R" + std::to_string(r), std::to_string(r) + ".50", "20010203", "T"});
  return b;
}

class DbfViewRead : public kvtest::EngineTest {
 protected:
  std::string Make(int records) {
    const std::string path = File("v" + std::to_string(counter_++) + ".dbf");
    DbfBuilder::WriteFile(path, ViewTable(records).Bytes());
    return path;
  }

  // Expects record r to hold name and number through every read export.
  void ExpectRecord(XBHANDLE h, uint32_t r, const std::string& name, double num) {
    SCOPED_TRACE("record " + std::to_string(r));
    ASSERT_EQ(XBDDRGET(h, r), 0);
    char text[64] = {};
    ASSERT_EQ(XBDDFGETS(h, 0, text), 0);
    EXPECT_EQ(std::string(text), name + std::string(10 - name.size(), ' '));
    ASSERT_EQ(XBDDFNGETS(h, "NAME", text), 0);
    EXPECT_EQ(std::string(text).substr(0, name.size()), name);
    double value = 0;
    ASSERT_EQ(XBDDFGET(h, 1, &value), 0);
    EXPECT_DOUBLE_EQ(value, num);
    value = 0;
    ASSERT_EQ(XBDDFNGET(h, "NUM", &value), 0);
    EXPECT_DOUBLE_EQ(value, num);
    // The unpacked record: flag, NAME and NUL, the double.
    uint8_t unpacked[64] = {};
    ASSERT_EQ(XBDDRGETX(h, unpacked, r), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(unpacked + 1), name.size()), name);
    std::memcpy(&value, unpacked + 12, sizeof value);
    EXPECT_DOUBLE_EQ(value, num);
  }

  int counter_ = 0;
};

}  // namespace kvtest
