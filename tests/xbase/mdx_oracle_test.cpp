// Our MDX files read by an independent reader, Perl's DBD-XBase
// (XBase::Index, which handles MDX tags; Debian package libdbd-xbase-perl):
// after random adds and deletes in several tags of one file, and a tag
// erased and made again, it must list every tag's keys and record numbers in
// the same order as our own walk. A missing reader fails. The reader takes
// every node as 1024 bytes (it reads that much whatever the header says), so
// it can check only files of 1024-byte blocks, the size real files use; the
// other sizes are checked by the invariant checker and the TDbf test.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "tests/support/command_output.h"
#include "tests/support/engine_fixture.h"
#include "tests/xbase/mdx_support.h"

namespace kvtest {
namespace {

// Every entry of tag `tag` as "hex(key)\trecord", in the reader's order.
std::vector<std::string> ReadWithPerl(const std::string& path, const std::string& tag) {
  const std::string script =
      "use XBase::Index; my $i = XBase::Index->new($ARGV[0], \"tag\" => $ARGV[1])"
      " or die XBase::Index->errstr; $i->prepare_select;"
      " while (my ($k, $v) = $i->fetch) { printf(\"%s\\t%d\\n\", unpack(\"H*\", $k), $v); }";
  const std::string command = "/usr/bin/perl -e '" + script + "' '" + path + "' " + tag + " 2>&1";
  return CommandLines(command);
}

struct TagCase {
  const char* name;
  uint16_t letter;
  uint16_t keyLength;
};

const TagCase kTags[] = {
    {"NAME", 'C', 24}, {"NAMEDESC", 'C' | XB_MDX_DESCENDING, 100},
    {"PRICE", 'N', 0}, {"PRICEDESC", 'N' | XB_MDX_DESCENDING, 0},
    {"BORN", 'D', 0},  {"CODE", 'C' | XB_MDX_UNIQUE, 6},
};

class MdxOracle : public EngineTest {};

TEST_F(MdxOracle, PerlWalksEveryTagInOurOrder) {
  for (uint16_t units : {2}) {
    SCOPED_TRACE("units " + std::to_string(units));
    const std::string path = File("oracle" + std::to_string(units) + ".mdx");
    ASSERT_EQ(XBDMCREATE(path.c_str(), units), 0);
    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_EQ(XBDMOPENX(&h, path.c_str(), 0), 0);
    std::mt19937 rng(4242 + units);
    for (const TagCase& c : kTags) ASSERT_EQ(XBDMTNEW(h, c.name, c.letter, "K", c.keyLength), 0);
    for (int round = 0; round < 2; ++round) {
      for (const TagCase& c : kTags) {
        XBTAGHANDLE t = 0;
        ASSERT_EQ(XBDMTUSE(&t, h, c.name), 0);
        const char type = static_cast<char>(c.letter & 0x7F);
        std::vector<std::pair<std::string, uint32_t>> added;
        for (uint32_t i = 1; i <= 1500; ++i) {
          std::string key;
          if (type == 'C') {
            key = MdxPadded((c.letter & XB_MDX_UNIQUE) ? std::to_string(100000 + i)
                                                       : "K" + std::to_string(rng() % 500),
                            c.keyLength);
          } else if (type == 'N') {
            key = MdxNumber((static_cast<int>(rng() % 20001) - 10000) / 8.0);
          } else {
            key = MdxDay(2440000.0 + rng() % 3000);
          }
          const uint32_t record = round * 10000 + i;
          ASSERT_EQ(XBDMKADD(t, key.data(), record), 0);
          added.push_back({key, record});
        }
        for (size_t i = 0; i < added.size(); i += 4) {
          ASSERT_EQ(XBDMKDEL(t, added[i].first.data(), added[i].second), 0);
        }
        ASSERT_EQ(XBDMTCLOSE(t), 0);
      }
      if (round == 0) {
        // A tag in the middle goes and comes back at the end: slots move.
        ASSERT_EQ(XBDMTERASE(h, "PRICE"), 0);
        ASSERT_EQ(XBDMTNEW(h, "PRICE", 'N', "K", 0), 0);
      }
    }
    const MdxCheckResult check = CheckMdxFile(path);
    ASSERT_EQ(check.error, "");
    for (const TagCase& c : kTags) {
      SCOPED_TRACE(c.name);
      XBTAGHANDLE t = 0;
      ASSERT_EQ(XBDMTUSE(&t, h, c.name), 0);
      const char type = static_cast<char>(c.letter & 0x7F);
      const size_t bytes = type == 'C' ? c.keyLength : (type == 'N' ? 12 : 8);
      XBSTATUS last = 0;
      const std::vector<MdxEntry> ours = MdxWalk(t, bytes, true, &last);
      ASSERT_GT(ours.size(), 1000u);
      const std::vector<std::string> theirs = ReadWithPerl(path, c.name);
      ASSERT_EQ(theirs.size(), ours.size()) << (theirs.empty() ? "" : theirs.back());
      for (size_t i = 0; i < ours.size(); ++i) {
        ASSERT_EQ(theirs[i], Hex(ours[i].key) + "\t" + std::to_string(ours[i].record))
            << "entry " << i;
      }
      ASSERT_EQ(XBDMTCLOSE(t), 0);
    }
    ASSERT_EQ(XBDMCLOSE(h), 0);
  }
}

}  // namespace
}  // namespace kvtest
