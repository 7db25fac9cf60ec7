// Our NTX files read by an independent reader, Perl's DBD-XBase
// (XBase::Index, Debian package libdbd-xbase-perl): after random adds and
// deletes, it must list the same keys and record numbers in the same order
// as our own walk, interior keys included. A missing reader fails.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <random>

#include "tests/support/command_output.h"
#include "tests/support/engine_fixture.h"
#include "tests/xbase/ntx_support.h"

namespace kvtest {
namespace {

// Every key as "hex(key)\trecord" (character) or "%.2f\trecord" (numeric).
std::vector<std::string> ReadWithPerl(const std::string& path, bool numeric) {
  const std::string script =
      "use XBase::Index; my $i = XBase::Index->new($ARGV[0], type => $ARGV[1])"
      " or die XBase::Index->errstr; $i->prepare_select;"
      " while (my ($k, $v) = $i->fetch) {" +
      std::string(numeric ? "printf(\"%.2f\\t%d\\n\", $k, $v);"
                          : "printf(\"%s\\t%d\\n\", unpack(\"H*\", $k), $v);") +
      "}";
  const std::string command =
      "/usr/bin/perl -e '" + script + "' '" + path + "' " + (numeric ? "N" : "C") + " 2>&1";
  return CommandLines(command);
}

class NtxOracle : public EngineTest {
 protected:
  void RoundTrip(char type, uint16_t L, uint16_t decimals, bool unique, int adds, uint32_t seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const bool numeric = type == 'N';
    const std::string path = File("oracle.ntx");
    const uint16_t letter = static_cast<uint16_t>(type | (unique ? XB_NTX_UNIQUE : 0));
    ASSERT_EQ(XBDCCREATE(path.c_str(), letter, "KEY", L, decimals), 0);
    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_EQ(XBDCOPENX(&h, path.c_str(), 0), 0);
    std::mt19937 rng(seed);
    std::vector<std::pair<std::string, uint32_t>> added;
    std::map<std::string, double> values;  // numeric key text -> its number
    std::map<std::string, int> taken;
    for (int i = 0; i < adds; ++i) {
      std::string key;
      if (numeric) {
        const double v = (static_cast<int>(rng() % 40001) - 20000) / 8.0;
        char text[64] = {};
        ASSERT_EQ(XBDCKNUM(h, text, v), 0);
        key = text;
        values[NtxPadded(key, L)] = v;
      } else {
        key = "K" + std::to_string(rng() % 5000);
      }
      if (unique && taken[key]++ > 0) continue;
      const uint32_t rec = static_cast<uint32_t>(i + 1);
      ASSERT_EQ(XBDCKADD(h, key.c_str(), rec), 0);
      added.push_back({key, rec});
      if (rng() % 3 == 0) {
        const size_t at = rng() % added.size();
        ASSERT_EQ(XBDCKDEL(h, added[at].first.c_str(), added[at].second), 0);
        taken[added[at].first] = 0;
        added.erase(added.begin() + static_cast<long>(at));
      }
    }
    XBSTATUS last = 0;
    const auto ours = NtxWalkForward(h, L, &last);
    ASSERT_EQ(XBDCCLOSE(h), 0);
    const auto check = CheckNtxFile(path);
    ASSERT_EQ(check.error, "");
    ASSERT_GE(check.depth, 1);  // keys in interior items too
    ASSERT_EQ(ours.size(), added.size());
    const auto theirs = ReadWithPerl(path, numeric);
    ASSERT_EQ(theirs.size(), ours.size()) << (theirs.empty() ? "" : theirs.back());
    for (size_t i = 0; i < ours.size(); ++i) {
      std::string want;
      if (numeric) {
        char text[64];
        std::snprintf(text, sizeof text, "%.2f\t%u", values.at(ours[i].key), ours[i].record);
        want = text;
      } else {
        want = Hex(ours[i].key) + "\t" + std::to_string(ours[i].record);
      }
      ASSERT_EQ(theirs[i], want) << "entry " << i;
    }
  }
};

TEST_F(NtxOracle, CharacterKeysReadByDbdXBase) {
  RoundTrip('C', 12, 0, false, 3000, 201);
}

TEST_F(NtxOracle, LongUniqueCharacterKeysReadByDbdXBase) {
  RoundTrip('C', 100, 0, true, 1500, 202);
}

TEST_F(NtxOracle, NumericKeysWithNegativesReadByDbdXBase) {
  RoundTrip('N', 10, 3, false, 3000, 203);
}

}  // namespace
}  // namespace kvtest
