// NTX files written by another program, libxbase64 (tests/fixtures/ntx,
// made once by scripts/oracles/make_libxbase64_ntx.sh): our walks must list
// the keys and record numbers Perl's DBD-XBase lists, in its order, both
// ways; every key must be found exactly; and keys added and deleted by us
// must leave a sound tree. The fixtures come with the sources: a missing
// one fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/ntx_support.h"

namespace kvtest {
namespace {

struct Fixture {
  const char* table;
  size_t keyLength;
};

std::string FixtureDir() {
  // CTest names the source tree; run by hand, this file's place tells.
  const char* source = std::getenv("KV_SOURCE_DIR");
  const std::filesystem::path root =
      source != nullptr ? std::filesystem::path(source)
                        : std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
  return (root / "tests" / "fixtures" / "ntx").string();
}

std::vector<NtxEntry> ReadWalk(const std::string& path) {
  std::vector<NtxEntry> out;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const size_t tab = line.find('\t');
    std::string key;
    for (size_t i = 0; i + 1 < tab; i += 2) {
      key += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
    }
    out.push_back({key, static_cast<uint32_t>(std::stoul(line.substr(tab + 1)))});
  }
  return out;
}

class NtxFixture : public EngineTest, public ::testing::WithParamInterface<Fixture> {};

TEST_P(NtxFixture, WalkedAsDbdXBaseWalksIt) {
  const Fixture& f = GetParam();
  const std::string ntx = FixtureDir() + "/" + f.table + ".ntx";
  ASSERT_TRUE(std::filesystem::exists(ntx)) << ntx;
  const auto theirs = ReadWalk(FixtureDir() + "/" + f.table + ".dbd-walk");
  ASSERT_EQ(theirs.size(), 60u);
  // The header word at offset 2 is libxbase64's update counter.
  EXPECT_NE(Get16(ReadBytes(ntx), 2), 1);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDCOPENX(&h, ntx.c_str(), XB_OPEN_READONLY), 0);
  XBSTATUS last = 0;
  const auto forward = NtxWalkForward(h, f.keyLength, &last);
  EXPECT_EQ(last, 3);
  ASSERT_EQ(forward.size(), theirs.size());
  std::vector<uint32_t> records;
  for (size_t i = 0; i < forward.size(); ++i) {
    EXPECT_EQ(forward[i].key, theirs[i].key) << "entry " << i;
    EXPECT_EQ(forward[i].record, theirs[i].record) << "entry " << i;
    records.push_back(forward[i].record);
  }
  std::sort(records.begin(), records.end());
  for (uint32_t r = 1; r <= 60; ++r) EXPECT_EQ(records[r - 1], r);
  const auto backward = NtxWalkBackward(h, f.keyLength, &last);
  ASSERT_EQ(backward.size(), theirs.size());
  for (size_t i = 0; i < backward.size(); ++i) {
    EXPECT_EQ(backward[i].record, theirs[theirs.size() - 1 - i].record) << "entry " << i;
  }
  for (const auto& e : theirs) {
    // libxbase64 ends its numeric keys with a NUL byte, which a key text
    // cannot hold: those are found by the text before it, as a prefix.
    const bool nulInside = e.key.find('\0') != std::string::npos;
    std::string key = e.key;
    key.resize(f.keyLength + 1, '\0');
    uint32_t r = e.record;
    ASSERT_EQ(XBDCKFIND(h, key.data(), &r, nulInside ? 0 : 2), 0) << e.record;
    EXPECT_EQ(key.substr(0, f.keyLength), e.key);
    if (!nulInside) {
      EXPECT_EQ(r, e.record);
    }
  }
  XBNTXINFO info;
  ASSERT_EQ(XBDCINFO(h, &info), 0);
  EXPECT_EQ(static_cast<size_t>(info.keyLength), f.keyLength);
  EXPECT_EQ(XBDCCLOSE(h), 0);
}

TEST_P(NtxFixture, KeptSoundWhenWeAddAndDelete) {
  const Fixture& f = GetParam();
  const std::string copy = File(std::string(f.table) + ".ntx");
  std::filesystem::copy_file(FixtureDir() + "/" + f.table + ".ntx", copy);
  auto model = ReadWalk(FixtureDir() + "/" + f.table + ".dbd-walk");
  ASSERT_EQ(model.size(), 60u);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDCOPENX(&h, copy.c_str(), 0), 0);
  // New keys between and around theirs, then half of theirs removed.
  for (uint32_t i = 0; i < 80; ++i) {
    std::string key = model[(i * 7) % 60].key;
    key.back() = static_cast<char>('0' + i % 10);
    ASSERT_EQ(XBDCKADD(h, key.c_str(), 100 + i), 0) << i;
    model.push_back({NtxPadded(key, f.keyLength), 100 + i});
  }
  for (uint32_t r = 1; r <= 60; r += 2) {
    const auto it =
        std::find_if(model.begin(), model.end(), [r](const NtxEntry& e) { return e.record == r; });
    ASSERT_NE(it, model.end());
    // A key holding a NUL byte cannot be named by a key text.
    if (it->key.find('\0') != std::string::npos) continue;
    ASSERT_EQ(XBDCKDEL(h, it->key.c_str(), r), 0) << r;
    model.erase(it);
  }
  XBSTATUS last = 0;
  auto walk = NtxWalkForward(h, f.keyLength, &last);
  EXPECT_EQ(XBDCCLOSE(h), 0);
  NtxCheckOptions options;
  options.checkLayout = false;        // their pages lay items out their own way
  options.equalKeysByRecord = false;  // and keep equal keys in any record order
  const auto check = CheckNtxFile(copy, options);
  EXPECT_EQ(check.error, "");
  ASSERT_EQ(check.entries.size(), walk.size());
  for (size_t i = 0; i < walk.size(); ++i) {
    EXPECT_EQ(walk[i].key, check.entries[i].key) << "entry " << i;
    EXPECT_EQ(walk[i].record, check.entries[i].record) << "entry " << i;
  }
  // The same keys as the model; equal keys may come in any record order.
  auto byKeyAndRecord = [](const NtxEntry& a, const NtxEntry& b) {
    return a.key != b.key ? a.key < b.key : a.record < b.record;
  };
  std::sort(model.begin(), model.end(), byKeyAndRecord);
  std::sort(walk.begin(), walk.end(), byKeyAndRecord);
  ASSERT_EQ(walk.size(), model.size());
  for (size_t i = 0; i < walk.size(); ++i) {
    EXPECT_EQ(walk[i].key, model[i].key) << "entry " << i;
    EXPECT_EQ(walk[i].record, model[i].record) << "entry " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Libxbase64, NtxFixture,
                         ::testing::Values(Fixture{"names", 10}, Fixture{"amounts", 9},
                                           Fixture{"dates", 8}),
                         [](const ::testing::TestParamInfo<Fixture>& p) {
                           return std::string(p.param.table);
                         });

}  // namespace
}  // namespace kvtest
