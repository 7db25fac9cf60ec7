// XBDMTINDEX: a tag built from every record holds the same (key, record)
// sequence as the same tag filled by hand with XBDMKADD, for a character,
// numeric and date field and an expression; an empty data file gives an
// empty tag; any failure (a record that cannot be read, a write that fails,
// a data file locked by another program) leaves no tag and no lock.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/kernel/fault.h"
#include "tests/xbase/bulk_fixture.h"
#include "tests/xbase/dbf_lock_peer.h"
#include "tests/xbase/mdx_support.h"

namespace kvtest {
namespace {

namespace fs = std::filesystem;
using kvp::fault::Op;

#if defined(__SANITIZE_ADDRESS__)
constexpr uint32_t kRecords = 20000;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr uint32_t kRecords = 20000;
#else
constexpr uint32_t kRecords = 200000;
#endif
#else
constexpr uint32_t kRecords = 200000;
#endif

std::vector<std::string> Row(uint32_t r) {
  const uint32_t mix = r * 2654435761u;
  char name[11];
  std::snprintf(name, sizeof name, "M%07u", mix % 90001u);
  char born[9];
  if (r % 53 == 0) {
    born[0] = '\0';
  } else {
    std::snprintf(born, sizeof born, "%04u%02u%02u", 1950 + mix % 70, 1 + (mix >> 9) % 12,
                  1 + (mix >> 13) % 28);
  }
  const double amount = static_cast<double>(static_cast<int32_t>(mix % 200001u) - 100000) / 10.0;
  return {name, NumberText(amount, 10, 1), born};
}

class BulkMdx : public BulkTest {
 protected:
  void SetUp() override {
    BulkTest::SetUp();
    kvp::fault::Reset();
  }
  void TearDown() override {
    kvp::fault::Reset();
    if (mdx_ != XB_NO_HANDLE) XBDMCLOSE(mdx_);
    BulkTest::TearDown();
  }

  XBHANDLE Data(const std::string& name, uint32_t count) {
    dataPath_ = File(name);
    WriteDataFile(dataPath_, {{"NAME", 'C', 10}, {"AMOUNT", 'N', 10, 1}, {"BORN", 'D', 8}}, count,
                  Row);
    return OpenData(dataPath_);
  }
  void OpenMdx() {
    mdxPath_ = File("tags.mdx");
    ASSERT_EQ(XBDMCREATE(mdxPath_.c_str(), 2), 0);
    ASSERT_EQ(XBDMOPENX(&mdx_, mdxPath_.c_str(), 0), 0);
  }
  // The same tag filled by hand, record by record.
  void ByHand(XBHANDLE data, const char* tag, uint16_t letter, const char* expression,
              uint16_t length) {
    ASSERT_EQ(XBDMTNEW(mdx_, tag, letter, expression, length), 0);
    XBTAGHANDLE t = 0;
    ASSERT_EQ(XBDMTUSE(&t, mdx_, tag), 0);
    uint32_t count = 0;
    ASSERT_EQ(XBDDSIZE(data, &count), 0);
    for (uint32_t r = 1; r <= count; ++r) {
      ASSERT_GE(XBDDRGET(data, r), 0);
      void* key = nullptr;
      ASSERT_EQ(XBDMKMAKE(data, t, &key), 0);
      ASSERT_EQ(XBDMKADD(t, key, r), 0);
      XBMFREE(key);
    }
    ASSERT_EQ(XBDMTCLOSE(t), 0);
  }
  MdxCheckResult Check() {
    ASSERT_OK_CLOSE();
    MdxCheckResult result = CheckMdxFile(mdxPath_, MdxCheckOptions{});
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(XBDMOPENX(&mdx_, mdxPath_.c_str(), 0), 0);
    return result;
  }
  void ASSERT_OK_CLOSE() {
    EXPECT_EQ(XBDMCLOSE(mdx_), 0);
    mdx_ = XB_NO_HANDLE;
  }
  const MdxTagReport* Tag(const MdxCheckResult& result, const std::string& name) {
    for (const auto& t : result.tags)
      if (t.name == name) return &t;
    return nullptr;
  }

  XBHANDLE mdx_ = XB_NO_HANDLE;
  std::string mdxPath_;
  std::string dataPath_;
};

TEST_F(BulkMdx, TagMatchesKeyByKeyForEveryKeyKind) {
  XBHANDLE data = Data("people.dbf", kRecords);
  OpenMdx();
  struct Case {
    const char* bulk;
    const char* hand;
    uint16_t letter;
    const char* expression;
    uint16_t length;
  };
  const Case cases[] = {{"NAMEB", "NAMEH", 'C', "NAME", 10},
                        {"AMOUNTB", "AMOUNTH", 'N', "AMOUNT", 12},
                        {"BORNB", "BORNH", 'D', "BORN", 8},
                        {"MIXB", "MIXH", 'C', "NAME+BORN", 18}};
  for (const Case& c : cases) {
    ASSERT_EQ(XBDMTINDEX(data, mdx_, c.bulk, c.letter, c.expression, c.length), 0) << c.bulk;
    ByHand(data, c.hand, c.letter, c.expression, c.length);
  }
  const MdxCheckResult result = Check();
  ASSERT_EQ(result.error, "");
  for (const Case& c : cases) {
    const MdxTagReport* bulk = Tag(result, c.bulk);
    const MdxTagReport* hand = Tag(result, c.hand);
    ASSERT_NE(bulk, nullptr) << c.bulk;
    ASSERT_NE(hand, nullptr) << c.hand;
    EXPECT_EQ(bulk->entries.size(), kRecords) << c.bulk;
    EXPECT_TRUE(SameEntries(bulk->entries, hand->entries)) << c.bulk;
  }
}

TEST_F(BulkMdx, EmptyDataFileGivesAnEmptyTag) {
  XBHANDLE data = Data("empty.dbf", 0);
  OpenMdx();
  ASSERT_EQ(XBDMTINDEX(data, mdx_, "EMPTY", 'C', "NAME", 10), 0);
  const MdxCheckResult result = Check();
  const MdxTagReport* tag = Tag(result, "EMPTY");
  ASSERT_NE(tag, nullptr);
  EXPECT_TRUE(tag->entries.empty());
}

// Each failure is judged on a fresh MDX file holding one good tag.
TEST_F(BulkMdx, FailuresLeaveNoTagAndNoLock) {
  XBHANDLE data = Data("people.dbf", 3000);
  Peer peer;
  ASSERT_TRUE(peer.started());
  ASSERT_EQ(peer.Open(dataPath_, XB_OPEN_SHARED).reply.status, 0);
  unsigned creationReads = 0;
  unsigned creationWrites = 0;
  auto fresh = [&] {
    if (mdx_ != XB_NO_HANDLE) {
      ASSERT_EQ(XBDMCLOSE(mdx_), 0);
    }
    mdx_ = XB_NO_HANDLE;
    std::remove(File("tags.mdx").c_str());
    OpenMdx();
    ASSERT_EQ(XBDMTINDEX(data, mdx_, "KEEP", 'C', "NAME", 10), 0);
    // The calls a tag's creation makes: the failures below come after it,
    // in the pass over the records.
    kvp::fault::Reset();
    ASSERT_EQ(XBDMTNEW(mdx_, "PROBE", 'C', "NAME", 10), 0);
    creationReads = kvp::fault::Calls(Op::Read);
    creationWrites = kvp::fault::Calls(Op::Write);
    ASSERT_EQ(XBDMTERASE(mdx_, "PROBE"), 0);
  };
  auto expectClean = [&](const char* what, unsigned n) {
    const MdxCheckResult result = Check();
    EXPECT_EQ(result.error, "") << what << " " << n;
    ASSERT_EQ(result.tags.size(), 1u) << what << " " << n;
    EXPECT_EQ(result.tags[0].name, "KEEP");
    EXPECT_EQ(result.tags[0].entries.size(), 3000u);
    const auto locked = peer.Lock(2);
    EXPECT_EQ(locked.reply.lockStatus, 0) << what << " " << n << ": data file left locked";
    peer.Unlock(2);
  };
  // A record that cannot be read, at several points of the pass.
  for (unsigned k : {3u, 10u, 40u, 200u, 1000u}) {
    fresh();
    const unsigned n = creationReads + k;
    kvp::fault::Reset();
    kvp::fault::Arm(Op::Read, n, kvp::ERROR_ACCESS_DENIED);
    const XBSTATUS s = XBDMTINDEX(data, mdx_, "FAILS", 'C', "NAME", 10);
    kvp::fault::Reset();
    EXPECT_LT(s, 0) << n;
    XBESCODE(0);
    expectClean("read", n);
  }
  // A write of the MDX file fails part-way.
  for (unsigned k : {3u, 10u, 50u, 200u}) {
    fresh();
    const unsigned n = creationWrites + k;
    kvp::fault::Reset();
    kvp::fault::Arm(Op::Write, n, kvp::ERROR_DISK_FULL);
    const XBSTATUS s = XBDMTINDEX(data, mdx_, "FAILS", 'C', "NAME", 10);
    const unsigned calls = kvp::fault::Calls(Op::Write);
    kvp::fault::Reset();
    ASSERT_GE(calls, n) << "fewer writes than expected";
    EXPECT_LT(s, 0) << n;
    XBESCODE(0);
    expectClean("write", n);
  }
  // An expression that does not evaluate.
  fresh();
  EXPECT_EQ(XBDMTINDEX(data, mdx_, "FAILS", 'C', "NOSUCH(NAME", 10), XB_E_EXPRESSION);
  XBESCODE(0);
  expectClean("expression", 0);
  // Another program holds the data file locked.
  fresh();
  ASSERT_EQ(peer.Lock(2).reply.lockStatus, 0);
  EXPECT_EQ(XBDMTINDEX(data, mdx_, "FAILS", 'C', "NAME", 10), XB_E_LOCKED);
  XBESCODE(0);
  peer.Unlock(2);
  expectClean("locked", 0);
}

}  // namespace
}  // namespace kvtest
