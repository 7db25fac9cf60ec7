// Packing: the records kept, the ".BAK" backup, the reopened handle, the
// temporary name, another program's lock, and failures at every step
// (injected through the file layer; the really full disk is in
// dbf_write_pack_full_disk_test.cpp): after any failure the file still holds
// its records.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "platform/kernel/fault.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/packed.h"
#include "tests/xbase/dbf_lock_peer.h"
#include "tests/xbase/dbf_write_support.h"

namespace kvtest {
namespace {

namespace fs = std::filesystem;

class DbfPack : public EngineTest {
 protected:
  void TearDown() override {
    kvp::fault::Reset();
    XBESCODE(0);
    if (h_ != XB_NO_HANDLE) XBDDCLOSE(h_);
    EngineTest::TearDown();
  }
  // A numbered file of `count` records with the records of `deleted` marked.
  void MakeFile(const std::string& path, uint32_t count, const std::set<uint32_t>& deleted,
                uint16_t variant = 1) {
    MakeNumberedFile(path, count, variant);
    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_EQ(XBDDOPENX(&h, path.c_str(), variant), 0);
    for (uint32_t r : deleted) ASSERT_EQ(XBDDRDEL(h, r), 0);
    ASSERT_EQ(XBDDCLOSE(h), 0);
  }
  // The records of an open numbered file, in order; each must hold what its
  // original number says.
  std::vector<uint32_t> Kept(XBHANDLE h) {
    uint32_t n = 0;
    EXPECT_EQ(XBDDSIZE(h, &n), 0);
    std::vector<uint32_t> kept;
    for (uint32_t r = 1; r <= n; ++r) {
      const XBSTATUS s = XBDDRGET(h, r);
      EXPECT_TRUE(s == 0 || s == XB_DELETED) << s;
      char name[13] = {};
      XBDDFGETS(h, 0, name);
      kept.push_back(static_cast<uint32_t>(std::stoul(name + 1)));
      EXPECT_EQ(CheckNumbered(h, r).find("NUM"), std::string::npos);
    }
    return kept;
  }
  std::set<std::string> Files() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_.path()))
      names.insert(e.path().filename().string());
    return names;
  }
  XBHANDLE h_ = XB_NO_HANDLE;
};

TEST_F(DbfPack, KeepsPresentRecordsInOrderAndBacksUpTheOldFile) {
  const std::string path = File("DATA.DBF");
  MakeFile(path, 10, {2, 5, 6, 10});
  const std::string original = Slurp(path);
  ASSERT_EQ(XBDDOPENX(&h_, path.c_str(), 1), 0);
  XBHANDLE blocker = XB_NO_HANDLE;  // takes the next slot, so the handle may move
  ASSERT_EQ(XBDDOPENX(&blocker, File("DATA.BAK").c_str(), 1), XB_E_OPEN);
  XBESCODE(0);
  ASSERT_EQ(XBDDPACK(&h_), 0);
  ASSERT_NE(h_, XB_NO_HANDLE);
  EXPECT_EQ(Kept(h_), (std::vector<uint32_t>{1, 3, 4, 7, 8, 9}));
  EXPECT_EQ(Slurp(File("DATA.BAK")), original);
  const std::string packed = Slurp(path);
  // Cut after the last record: no end byte.
  EXPECT_EQ(packed.size(), 97u + 6u * 23u);
  EXPECT_EQ(Le32(packed, 4), 6u);
  EXPECT_EQ(packed.substr(0, 4).substr(0, 1), original.substr(0, 1));
  EXPECT_EQ(packed.substr(8, 24), original.substr(8, 24));
  EXPECT_EQ(packed.substr(32, 65), original.substr(32, 65));
  EXPECT_EQ(Files(), (std::set<std::string>{"DATA.BAK", "DATA.DBF"}));
  // The reopened handle appends after the kept records.
  uint32_t no = 0;
  ASSERT_EQ(XBDDRCLEAR(h_), 0);
  ASSERT_EQ(XBDDRPUT(h_, &no, XB_PUT_APPEND), 0);
  EXPECT_EQ(no, 7u);
}

TEST_F(DbfPack, AllDeletedLeavesNoRecordsAndTheBackup) {
  const std::string path = File("all.dbf");
  MakeFile(path, 4, {1, 2, 3, 4});
  const std::string original = Slurp(path);
  ASSERT_EQ(XBDDOPENX(&h_, path.c_str(), 1), 0);
  ASSERT_EQ(XBDDPACK(&h_), 0);
  uint32_t n = 99;
  ASSERT_EQ(XBDDSIZE(h_, &n), 0);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(Slurp(path).size(), 97u);
  EXPECT_EQ(Slurp(File("all.BAK")), original);
  EXPECT_EQ(XBDDRGET(h_, 1), XB_E_SEEK);
}

TEST_F(DbfPack, ReplacesAnOldBackupAndSkipsTakenTemporaryNames) {
  const std::string path = File("t.dbf");
  MakeFile(path, 3, {2});
  // "0.DBF" and "1.DBF" exist: the temporary file is "2.DBF".
  for (const char* taken : {"0.DBF", "1.DBF", "t.BAK"}) {
    FILE* f = std::fopen(File(taken).c_str(), "wb");
    std::fputs(taken, f);
    std::fclose(f);
  }
  const std::string original = Slurp(path);
  ASSERT_EQ(XBDDOPENX(&h_, path.c_str(), 1), 0);
  kvp::fault::Reset();
  ASSERT_EQ(XBDDPACK(&h_), 0);
  EXPECT_EQ(Slurp(File("0.DBF")), "0.DBF");
  EXPECT_EQ(Slurp(File("1.DBF")), "1.DBF");
  EXPECT_EQ(Slurp(File("t.BAK")), original);
  EXPECT_EQ(Files(), (std::set<std::string>{"0.DBF", "1.DBF", "t.BAK", "t.dbf"}));
  EXPECT_EQ(Kept(h_), (std::vector<uint32_t>{1, 3}));
}

TEST_F(DbfPack, NamesWithoutExtensionOrWithDotsInTheDirectory) {
  fs::create_directory(File("a.b"));
  const std::string path = File("a.b/plain");
  MakeFile(path, 2, {1});
  ASSERT_EQ(XBDDOPENX(&h_, path.c_str(), 1), 0);
  ASSERT_EQ(XBDDPACK(&h_), 0);
  EXPECT_TRUE(fs::exists(File("a.b/plain.BAK")));
  EXPECT_EQ(Kept(h_), (std::vector<uint32_t>{2}));
}

TEST_F(DbfPack, ABackupNamedFileIsNotPackedOverItself) {
  const std::string path = File("data.BAK");
  MakeFile(path, 2, {1});
  const std::string original = Slurp(path);
  ASSERT_EQ(XBDDOPENX(&h_, path.c_str(), 1), 0);
  EXPECT_EQ(XBDDPACK(&h_), XB_E_ACCESS);
  XBESCODE(0);
  EXPECT_EQ(Slurp(path), original);
  EXPECT_EQ(Kept(h_), (std::vector<uint32_t>{1, 2}));
}

TEST_F(DbfPack, KeepsVariantSharingAndProductionFlag) {
  const std::string path = File("v9.dbf");
  MakeFile(path, 3, {3}, 9);
  ASSERT_EQ(XBDDOPENX(&h_, path.c_str(), 9 | XB_OPEN_SHARED_PROD), 0);
  ASSERT_EQ(XBDDPACK(&h_), 0);
  XBFILEINFO info{};
  ASSERT_EQ(XBDDINFO(h_, &info), 0);
  EXPECT_EQ(V(info.variant), 9);
  EXPECT_EQ(V(info.openFlags & 2), 2);  // shared
  EXPECT_EQ(V(info.openFlags & 4), 4);  // production bit of the state word
  EXPECT_EQ(Kept(h_), (std::vector<uint32_t>{1, 2}));
  const std::string packed = Slurp(path);
  EXPECT_EQ(Le16(packed, 8), 32u * 4u);
  EXPECT_EQ(packed[96], 0x0D);
  // Another program can still open the file: it was reopened shared.
  Peer other;
  ASSERT_TRUE(other.started());
  const auto opened = other.Open(path, 9 | XB_OPEN_SHARED);
  ASSERT_TRUE(opened.ok);
  EXPECT_EQ(opened.reply.status, 0);
}

TEST_F(DbfPack, RefusedWhileAnotherProgramHoldsALock) {
  const std::string path = File("locked.dbf");
  MakeFile(path, 3, {2});
  const std::string original = Slurp(path);
  ASSERT_EQ(XBDDOPENX(&h_, path.c_str(), 1 | XB_OPEN_SHARED), 0);
  {
    Peer holder;
    ASSERT_TRUE(holder.started());
    ASSERT_EQ(holder.Open(path, 1 | XB_OPEN_SHARED).reply.status, 0);
    const auto locked = holder.RecordLock(1, 7);
    ASSERT_TRUE(locked.ok);
    ASSERT_EQ(locked.reply.status, 0);
    ASSERT_EQ(locked.reply.lockStatus, 0);
    EXPECT_EQ(XBDDPACK(&h_), XB_E_LOCKED);
    XBESCODE(0);
  }
  EXPECT_EQ(Slurp(path), original);
  EXPECT_FALSE(fs::exists(File("0.DBF")));
  // With the holder gone the pack goes through.
  EXPECT_EQ(XBDDPACK(&h_), 0);
  EXPECT_EQ(Kept(h_), (std::vector<uint32_t>{1, 3}));
}

// Fails the n-th call of one kind of file operation, for n = 1, 2, ... until
// the pack no longer meets the failure. After every failure the records are
// all there: either the file is untouched and its handle still works, or
// (a failure in the final reopen) the pack was complete and the backup holds
// the old file.
TEST_F(DbfPack, FailureAtEveryStepKeepsTheRecords) {
  const std::string path = File("f.dbf");
  const std::set<uint32_t> deleted = {1, 4, 5, 9};
  const std::vector<uint32_t> all = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const std::vector<uint32_t> kept = {2, 3, 6, 7, 8, 10, 11, 12};
  using kvp::fault::Op;
  const std::pair<Op, const char*> ops[] = {
      {Op::Write, "write"}, {Op::Create, "create"},     {Op::Open, "open"}, {Op::Rename, "rename"},
      {Op::Erase, "erase"}, {Op::Truncate, "truncate"}, {Op::Read, "read"}, {Op::Lock, "lock"},
  };
  for (const auto& [op, name] : ops) {
    int failures = 0;
    for (unsigned n = 1;; ++n) {
      SCOPED_TRACE(std::string("failing ") + name + " call " + std::to_string(n));
      fs::remove(File("f.BAK"));
      MakeFile(path, 12, deleted);
      const std::string original = Slurp(path);
      ASSERT_EQ(XBDDOPENX(&h_, path.c_str(), 1 | XB_OPEN_SHARED), 0);
      kvp::fault::Reset();
      kvp::fault::Arm(op, n, op == Op::Lock ? kvp::ERROR_LOCK_VIOLATION : kvp::ERROR_DISK_FULL);
      const XBSTATUS s = XBDDPACK(&h_);
      const bool met = kvp::fault::Calls(op) >= n;
      kvp::fault::Reset();
      if (s == 0) {
        // Done, or the failed call was retried (an open that fails read-write
        // is retried read-only).
        EXPECT_EQ(Kept(h_), kept);
        EXPECT_EQ(Slurp(File("f.BAK")), original);
        ASSERT_EQ(XBDDCLOSE(h_), 0);
        h_ = XB_NO_HANDLE;
        if (!met) break;
        continue;
      }
      ASSERT_TRUE(met) << "failed without an injected failure: " << s;
      ++failures;
      XBESCODE(0);
      EXPECT_FALSE(fs::exists(File("0.DBF"))) << "temporary file left behind";
      if (h_ != XB_NO_HANDLE) {
        // Untouched, and the handle still reads it.
        EXPECT_EQ(Slurp(path), original);
        EXPECT_EQ(Kept(h_), all);
        ASSERT_EQ(XBDDCLOSE(h_), 0);
      } else {
        // Only the reopen failed: the pack is complete.
        EXPECT_EQ(Slurp(File("f.BAK")), original);
        XBHANDLE h = XB_NO_HANDLE;
        ASSERT_EQ(XBDDOPENX(&h, path.c_str(), 1), 0);
        EXPECT_EQ(Kept(h), kept);
        ASSERT_EQ(XBDDCLOSE(h), 0);
      }
      h_ = XB_NO_HANDLE;
      ASSERT_LT(n, 200u) << "the pack never stops meeting the failure";
    }
    EXPECT_GT(failures, 0) << name << " was never failed: the loop proves nothing";
  }
}

}  // namespace
}  // namespace kvtest
