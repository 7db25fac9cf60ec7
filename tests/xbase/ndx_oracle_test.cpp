// Our NDX files read by an independent reader, Perl's DBD-XBase
// (XBase::Index, Debian package libdbd-xbase-perl): after random adds,
// deletes and the compaction at close, it must list the same keys and record
// numbers in the same order as our own walk. A missing reader fails.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <sstream>

#include "tests/support/command_output.h"
#include "tests/support/engine_fixture.h"
#include "tests/xbase/ndx_support.h"

namespace kvtest {
namespace {

// Every entry as "hex(key)\trecord" (character) or "%.17g\trecord".
std::vector<std::string> ReadWithPerl(const std::string& path, bool numeric) {
  const std::string script =
      "use XBase::Index; my $i = XBase::Index->new($ARGV[0]) or die XBase::Index->errstr;"
      "$i->prepare_select; while (my ($k, $v) = $i->fetch) {" +
      std::string(numeric ? "printf(\"%.17g\\t%d\\n\", $k, $v);"
                          : "printf(\"%s\\t%d\\n\", unpack(\"H*\", $k), $v);") +
      "}";
  const std::string command = "/usr/bin/perl -e '" + script + "' '" + path + "' 2>&1";
  return CommandLines(command);
}

class NdxOracle : public EngineTest {
 protected:
  void RoundTrip(char type, uint16_t keyLength, uint32_t seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const bool numeric = type != 'C';
    const std::string path = File("oracle.ndx");
    ASSERT_EQ(XBDNCREATE(path.c_str(), static_cast<uint16_t>(type), "KEY", keyLength), 0);
    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_EQ(XBDNOPENX(&h, path.c_str(), 0), 0);
    std::mt19937 rng(seed);
    std::vector<std::pair<std::string, uint32_t>> added;
    for (int i = 0; i < 3000; ++i) {
      std::string key;
      if (numeric) {
        key = NumericKey((static_cast<int>(rng() % 4001) - 2000) / 8.0);
      } else {
        key = Padded("K" + std::to_string(rng() % 5000), keyLength);
      }
      const uint32_t rec = static_cast<uint32_t>(i + 1);
      ASSERT_EQ(XBDNKADD(h, key.data(), rec), 0);
      added.push_back({key, rec});
      if (rng() % 3 == 0) {
        const size_t at = rng() % added.size();
        ASSERT_EQ(XBDNKDEL(h, added[at].first.data(), added[at].second), 0);
        added.erase(added.begin() + static_cast<long>(at));
      }
    }
    ASSERT_EQ(XBDNCLOSE(h), 0);
    ASSERT_EQ(CheckNdxFile(path, {1, 0, true}).error, "");
    ASSERT_EQ(XBDNOPENX(&h, path.c_str(), XB_OPEN_READONLY), 0);
    XBSTATUS last = 0;
    const auto ours = WalkForward(h, numeric ? 8 : keyLength, &last);
    ASSERT_EQ(XBDNCLOSE(h), 0);
    ASSERT_EQ(ours.size(), added.size());
    const auto theirs = ReadWithPerl(path, numeric);
    ASSERT_EQ(theirs.size(), ours.size()) << (theirs.empty() ? "" : theirs.back());
    for (size_t i = 0; i < ours.size(); ++i) {
      std::string want;
      if (numeric) {
        char text[64];
        std::snprintf(text, sizeof text, "%.17g\t%u", GetDouble(ours[i].key), ours[i].record);
        want = text;
      } else {
        want = Hex(ours[i].key) + "\t" + std::to_string(ours[i].record);
      }
      ASSERT_EQ(theirs[i], want) << "entry " << i;
    }
  }
  static double GetDouble(const std::string& key) {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= uint64_t{static_cast<uint8_t>(key[i])} << (8 * i);
    double d = 0;
    std::memcpy(&d, &bits, 8);
    return d;
  }
};

TEST_F(NdxOracle, CharacterKeysReadByDbdXBase) {
  RoundTrip('C', 12, 101);
}

TEST_F(NdxOracle, LongCharacterKeysReadByDbdXBase) {
  RoundTrip('C', 100, 102);
}

TEST_F(NdxOracle, NumericKeysReadByDbdXBase) {
  RoundTrip('N', 8, 103);
}

}  // namespace
}  // namespace kvtest
