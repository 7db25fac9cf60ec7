// Bulk-built IDX and NTX files read by an independent reader, Perl's
// DBD-XBase (XBase::Index, Debian package libdbd-xbase-perl): it must list
// the same keys and record numbers in the same order as the invariant
// checker reads them. A missing reader fails.
//
// Standard IDX files go through its XBase::idx reader as they are. Compact
// nodes it reads only as the tags of a compound file, so for a compact IDX
// the walk gives XBase::cdx the header's root and key length (the one part
// of its reader replaced) and leaves the decoding of every node to it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "tests/support/command_output.h"
#include "tests/xbase/bulk_fixture.h"
#include "tests/xbase/bulk_idx_support.h"
#include "tests/xbase/idx_perl_walk.h"
#include "tests/xbase/idx_support.h"
#include "tests/xbase/ntx_support.h"

namespace kvtest {
namespace {

std::string HexTrimmed(std::string key) {
  while (!key.empty() && key.back() == ' ') key.pop_back();
  return Hex(key);
}

double FromIdxNumber(const std::string& key) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = bits << 8 | static_cast<uint8_t>(key[i]);
  bits = (bits >> 63) ? bits & ~(uint64_t{1} << 63) : ~bits;
  double d = 0;
  std::memcpy(&d, &bits, 8);
  return d;
}

class BulkOracle : public BulkTest {
 protected:
  XBHANDLE Data() {
    const std::string path = File("data.dbf");
    WriteBulkDataFile(path, 20000, 31);
    return OpenData(path);
  }

  void IdxReadByPerl(XBHANDLE data, uint16_t flags, const BulkKey& k) {
    SCOPED_TRACE(k.name);
    const bool numeric = k.type == 'N';
    const bool compact = (flags & XB_IDX_COMPACT) != 0;
    const std::string path = File("oracle.idx");
    ASSERT_EQ(XBDIINDEX(data, path.c_str(), static_cast<uint16_t>(k.type | flags), k.expression,
                        k.length),
              0);
    const IdxCheckResult ours = CheckIdxFile(path, {numeric ? '\0' : ' '});
    ASSERT_EQ(ours.error, "");
    ASSERT_EQ(ours.entries.size(), 20000u);
    const auto theirs = RunPerl(std::string(kPrint) + (compact ? kCompactWalk : kStandardWalk),
                                {path, numeric ? "N" : "C"}, dir_.path());
    ASSERT_EQ(theirs.size(), ours.entries.size()) << (theirs.empty() ? "" : theirs.back());
    for (size_t i = 0; i < theirs.size(); ++i) {
      std::string want;
      if (numeric) {
        char text[64];
        std::snprintf(text, sizeof text, "%.17g\t%u", FromIdxNumber(ours.entries[i].key),
                      ours.entries[i].record);
        want = text;
      } else {
        want = HexTrimmed(ours.entries[i].key) + "\t" + std::to_string(ours.entries[i].record);
      }
      ASSERT_EQ(theirs[i], want) << "entry " << i;
    }
  }
};

TEST_F(BulkOracle, StandardIdxWalkedByDbdXBase) {
  const XBHANDLE data = Data();
  IdxReadByPerl(data, 0, IdxBulkKeys()[0]);
  IdxReadByPerl(data, 0, IdxBulkKeys()[1]);
  IdxReadByPerl(data, 0, IdxBulkKeys()[3]);
}

// Numeric keys only: DBD-XBase rebuilds a shared prefix that reaches into
// the blanks of the previous character key with NUL bytes, so equal
// character keys (this file has many) do not come back as written.
TEST_F(BulkOracle, CompactIdxNodesDecodedByDbdXBase) {
  const XBHANDLE data = Data();
  IdxReadByPerl(data, XB_IDX_COMPACT, IdxBulkKeys()[1]);
  IdxReadByPerl(data, XB_IDX_COMPACT | XB_IDX_DESCENDING, IdxBulkKeys()[1]);
}

TEST_F(BulkOracle, NtxWalkedByDbdXBase) {
  const XBHANDLE data = Data();
  for (const BulkKey& k : {NtxBulkKeys()[0], NtxBulkKeys()[3]}) {
    SCOPED_TRACE(k.name);
    const std::string path = File("oracle.ntx");
    ASSERT_EQ(XBDCINDEX(data, path.c_str(), static_cast<uint16_t>(k.type), k.expression, k.length,
                        k.decimals),
              0);
    const NtxCheckResult ours = CheckNtxFile(path);
    ASSERT_EQ(ours.error, "");
    ASSERT_GE(ours.depth, 1);
    const auto theirs = RunPerl(std::string(kPrint) + kStandardWalk, {path, "C"}, dir_.path());
    ASSERT_EQ(theirs.size(), ours.entries.size()) << (theirs.empty() ? "" : theirs.back());
    for (size_t i = 0; i < theirs.size(); ++i) {
      ASSERT_EQ(theirs[i],
                HexTrimmed(ours.entries[i].key) + "\t" + std::to_string(ours.entries[i].record))
          << "entry " << i;
    }
  }
}

}  // namespace
}  // namespace kvtest
