// IDX files exchanged with an independent implementation, Perl's DBD-XBase
// (XBase::Index, Debian package libdbd-xbase-perl). A missing reader fails.
//
// - Our standard IDX files, after random adds and deletes, are walked by its
//   XBase::idx reader: same keys and record numbers in the same order.
// - It reads compact nodes only as the tags of a compound (CDX) file: its
//   XBase::cdx reader takes the root of the file as the tag directory and
//   looks the first tag up before it reads any key. A single compact IDX has
//   no tag directory, so the walk below gives XBase::cdx the IDX header's
//   root, key length and key type (the one part of its reader that is
//   replaced) and leaves the decoding of every interior node and compact
//   leaf, and the walk, to DBD-XBase.
// - The small standard IDX files that XBase::idx->create writes (sorted
//   keys, at most five pages) are read by us.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>

#include "tests/support/command_output.h"
#include "tests/support/engine_fixture.h"
#include "tests/xbase/idx_perl_walk.h"
#include "tests/xbase/idx_support.h"

namespace kvtest {
namespace {

// Writes a standard IDX with XBase::idx->create from a new DBF.
const char kCreate[] = R"PERL(
use strict;
use XBase;
use XBase::Index;
my ($dbf, $idx, $type, $n) = @ARGV;
my $t = XBase->create('name' => $dbf, 'field_names' => ['KEY'],
  'field_types' => [$type], 'field_lengths' => [$type eq 'N' ? 12 : 10],
  'field_decimals' => [$type eq 'N' ? 3 : undef]) or die XBase->errstr;
srand(7);
for my $r (0 .. $n - 1) {
  my $v = $type eq 'N' ? sprintf("%.3f", rand(2000) - 1000) : sprintf("W%05d", int(rand(300)));
  $t->set_record($r, $v) or die $t->errstr;
}
XBase::idx->create($t, $idx, 'KEY') or die "create failed";
$t->close;
)PERL";

double FromIdxNumber(const std::string& key) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = bits << 8 | static_cast<uint8_t>(key[i]);
  bits = (bits >> 63) ? bits & ~(uint64_t{1} << 63) : ~bits;
  double d = 0;
  std::memcpy(&d, &bits, 8);
  return d;
}

class IdxOracle : public EngineTest {
 protected:
  // `distinct`: no two character keys equal (see CompactCharacterNodes...).
  void RoundTrip(uint16_t typeWord, uint16_t keyLength, uint32_t seed, bool distinct = false) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const bool numeric = (typeWord & 0x7F) == 'N';
    const bool compact = (typeWord & XB_IDX_COMPACT) != 0;
    const std::string path = File("oracle.idx");
    ASSERT_EQ(XBDICREATE(path.c_str(), typeWord, "KEY", keyLength), 0);
    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_EQ(XBDIOPENX(&h, path.c_str(), 0), 0);
    ASSERT_EQ(XBDIKTYPE(h, numeric ? 'N' : 'C'), 0);
    const size_t L = numeric ? 8 : keyLength;
    std::mt19937 rng(seed);
    std::vector<std::pair<std::string, uint32_t>> added;
    for (int i = 0; i < 3000; ++i) {
      std::string key;
      if (numeric) {
        key = IdxNumber((static_cast<int>(rng() % 4001) - 2000) / 8.0);
      } else {
        const uint32_t n = distinct ? static_cast<uint32_t>(i) * 7919u % 100003u : rng() % 5000;
        key = IdxPadded("K" + std::to_string(n) + std::string(rng() % 8, 'z'), L);
      }
      const uint32_t rec = static_cast<uint32_t>(i + 1) * (compact ? 37 : 1);
      ASSERT_EQ(XBDIKADD(h, key.data(), rec), 0);
      added.push_back({key, rec});
      if (rng() % 3 == 0) {
        const size_t at = rng() % added.size();
        ASSERT_EQ(XBDIKDEL(h, added[at].first.data(), added[at].second), 0);
        added.erase(added.begin() + static_cast<long>(at));
      }
    }
    XBSTATUS last = 0;
    const auto ours = IdxWalk(h, L, true, &last);
    ASSERT_EQ(XBDICLOSE(h), 0);
    ASSERT_EQ(CheckIdxFile(path, {numeric ? '\0' : ' '}).error, "");
    ASSERT_EQ(ours.size(), added.size());
    const std::string script = std::string(kPrint) + (compact ? kCompactWalk : kStandardWalk);
    const auto theirs = RunPerl(script, {path, numeric ? "N" : "C"}, dir_.path());
    ASSERT_EQ(theirs.size(), ours.size()) << (theirs.empty() ? "" : theirs.back());
    for (size_t i = 0; i < ours.size(); ++i) {
      std::string want;
      if (numeric) {
        char text[64];
        std::snprintf(text, sizeof text, "%.17g\t%u", FromIdxNumber(ours[i].key), ours[i].record);
        want = text;
      } else {
        std::string k = ours[i].key;
        while (!k.empty() && k.back() == ' ') k.pop_back();
        want = Hex(k) + "\t" + std::to_string(ours[i].record);
      }
      ASSERT_EQ(theirs[i], want) << "entry " << i;
    }
  }

  // Our walk of an IDX that DBD-XBase wrote for `n` records of one field.
  void ReadTheirs(char type, int n) {
    const std::string dbf = File("theirs.dbf");
    const std::string idx = File("theirs.idx");
    const auto out =
        RunPerl(kCreate, {dbf, idx, std::string(1, type), std::to_string(n)}, dir_.path());
    ASSERT_TRUE(out.empty()) << out.back();
    // The keys it wrote, in its order, read by its own walker.
    const auto theirs =
        RunPerl(std::string(kPrint) + kStandardWalk, {idx, type == 'N' ? "N" : "C"}, dir_.path());
    ASSERT_EQ(theirs.size(), static_cast<size_t>(n)) << (theirs.empty() ? "" : theirs.back());
    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_EQ(XBDIOPENX(&h, idx.c_str(), XB_OPEN_READONLY), 0);
    ASSERT_EQ(XBDIKTYPE(h, static_cast<uint16_t>(type)), 0);
    XBIDXINFO info{};
    ASSERT_EQ(XBDIINFO(h, &info), 0);
    const size_t L = info.keyLength;
    XBSTATUS last = 0;
    const auto ours = IdxWalk(h, L, true, &last);
    EXPECT_EQ(last, 3);
    ASSERT_EQ(ours.size(), theirs.size());
    for (size_t i = 0; i < ours.size(); ++i) {
      std::string want;
      if (type == 'N') {
        char text[64];
        std::snprintf(text, sizeof text, "%.17g\t%u", FromIdxNumber(ours[i].key), ours[i].record);
        want = text;
      } else {
        std::string k = ours[i].key;
        while (!k.empty() && k.back() == ' ') k.pop_back();
        want = Hex(k) + "\t" + std::to_string(ours[i].record);
      }
      ASSERT_EQ(want, theirs[i]) << "entry " << i;
    }
    // Every key is found again.
    for (const auto& e : ours) {
      std::vector<char> key(L + 1, 0);
      std::memcpy(key.data(), e.key.data(), L);
      uint32_t r = e.record;
      ASSERT_EQ(XBDIKFIND(h, key.data(), &r, XB_FIND_EXACT), 0);
    }
    EXPECT_EQ(XBDICLOSE(h), 0);
  }
};

TEST_F(IdxOracle, StandardCharacterKeysWalkedByDbdXBase) {
  RoundTrip('C', 14, 201);
}

TEST_F(IdxOracle, StandardNumericKeysWalkedByDbdXBase) {
  RoundTrip('N', 8, 202);
}

// DBD-XBase rebuilds a compact entry's shared leading bytes from the
// previous key as it decoded it, with that key's trailing pad bytes turned
// into NUL bytes: where the shared part reaches into the pad (equal keys),
// it returns NULs where the key has blanks. So the keys here are distinct;
// numeric keys pad with NUL and may repeat.
TEST_F(IdxOracle, CompactCharacterNodesDecodedByDbdXBase) {
  RoundTrip('C' | XB_IDX_COMPACT, 20, 203, true);
}

TEST_F(IdxOracle, CompactDescendingNumericNodesDecodedByDbdXBase) {
  RoundTrip('N' | XB_IDX_COMPACT | XB_IDX_DESCENDING, 8, 204);
}

TEST_F(IdxOracle, StandardCharacterIndexWrittenByDbdXBaseIsReadByUs) {
  ReadTheirs('C', 100);
}

TEST_F(IdxOracle, StandardNumericIndexWrittenByDbdXBaseIsReadByUs) {
  ReadTheirs('N', 120);
}

}  // namespace
}  // namespace kvtest
