// The record-lock list of a handle, the last lock region XBDDINFO reports,
// and the calls' answers to wrong handles and modes. A peer process checks
// which bytes are really locked.
#include <gtest/gtest.h>

#include "platform/kernel/fault.h"
#include "tests/xbase/dbf_lock_fixture.h"
#include "xbase/dbf/data_file.h"
#include "xbase/frame/engine.h"

namespace kvtest {
namespace {

class LockList : public LockTest {
 protected:
  // The handle's control block, to look at the list itself.
  static const kv::xb::dbf::DataFile& Block(XBHANDLE h) {
    kv::xb::Slot* slot = kv::xb::FindContext()->handles.Get(h);
    return *static_cast<const kv::xb::dbf::DataFile*>(slot->block.get());
  }
  static std::vector<uint32_t> Listed(XBHANDLE h) {
    const auto& file = Block(h);
    const uint32_t* list = file.lockList.as<uint32_t>();
    return std::vector<uint32_t>(list, list + file.lockCount);
  }
  static XBFILEINFO Info(XBHANDLE h) {
    XBFILEINFO info{};
    EXPECT_EQ(XBDDINFO(h, &info), 0);
    return info;
  }
};

TEST_F(LockList, SameRecordTwiceIsListedOnce) {
  auto peer = StartPeer();
  const XBHANDLE h = OpenShared();
  EXPECT_EQ(RecordLock(h, 5, 7), kObtained);
  EXPECT_EQ(RecordLock(h, 5, 7), kObtained);
  EXPECT_EQ(RecordLock(h, 2, 7), kObtained);
  EXPECT_EQ(Listed(h), (std::vector<uint32_t>{5, 2}));
  EXPECT_EQ(RecordLock(h, 5, 5), kObtained) << "a test of a record we hold succeeds";
  EXPECT_EQ(Result(peer->RecordLock(5, 7)), kRefused);
  // One unlock frees it: it was listed once.
  EXPECT_EQ(RecordLock(h, 5, 6), kObtained);
  EXPECT_EQ(Listed(h), (std::vector<uint32_t>{2}));
  EXPECT_EQ(Result(peer->RecordLock(5, 7)), kObtained);
  EXPECT_EQ(RecordLock(h, 5, 7), kRefused);
  EXPECT_EQ(Listed(h), (std::vector<uint32_t>{2})) << "a refused record is not listed";
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

TEST_F(LockList, UnlockZeroReleasesEveryRecordLastToFirst) {
  auto peer = StartPeer();
  const XBHANDLE h = OpenShared();
  for (uint32_t r : {3u, 9u, 4u, 1u}) ASSERT_EQ(RecordLock(h, r, 7), kObtained);
  // Removing from the middle moves the later entries down.
  EXPECT_EQ(RecordLock(h, 9, 6), kObtained);
  EXPECT_EQ(Listed(h), (std::vector<uint32_t>{3, 4, 1}));
  EXPECT_EQ(RecordLock(h, 8, 6), kObtained) << "a record not held is left alone";
  EXPECT_EQ(Result(peer->RecordLock(9, 7)), kObtained);
  EXPECT_EQ(Result(peer->Lock(4)), kRefused);

  EXPECT_EQ(RecordLock(h, 0, 6), kObtained);
  EXPECT_TRUE(Listed(h).empty());
  // The last byte unlocked is the first record locked.
  EXPECT_EQ(Info(h).lockOffset, 0x7FFFFFBFu - 3);
  for (uint32_t r : {3u, 4u, 1u}) EXPECT_EQ(Result(peer->RecordLock(r, 7)), kObtained) << r;
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

// Capacity 64 at open, then 100 more at a time up to 16384 records; the
// 16385th is refused with its byte still locked, which the unlock of the
// last region frees.
TEST_F(LockList, GrowsByHundredUpTo16384) {
  auto peer = StartPeer();
  const XBHANDLE h = OpenShared();
  StartLog();
  EXPECT_EQ(Block(h).lockCapacity, 64);
  std::vector<uint16_t> capacities;
  for (uint32_t r = 1; r <= 16384; ++r) {
    ASSERT_EQ(RecordLock(h, r, 7), kObtained) << r;
    if (capacities.empty() || capacities.back() != Block(h).lockCapacity)
      capacities.push_back(Block(h).lockCapacity);
  }
  ASSERT_EQ(capacities.size(), 165u);
  for (size_t i = 0; i + 1 < capacities.size(); ++i) EXPECT_EQ(capacities[i], 64 + 100 * i);
  EXPECT_EQ(capacities.back(), 16384);
  EXPECT_EQ(LogLines(), 0);

  EXPECT_EQ(RecordLock(h, 20000, 7), kRefused);
  EXPECT_EQ(XBECODE(), 0);
  EXPECT_EQ(LogLines(), 1);
  EXPECT_EQ(Block(h).lockCount, 16384);
  EXPECT_EQ(Result(peer->RecordLock(20000, 7)), kRefused) << "the byte stays locked";
  EXPECT_EQ(Info(h).lockOffset, 0x7FFFFFBFu - 20000);
  EXPECT_EQ(Unlock(h, 0), kObtained) << "mode 0 unlocks the last region";
  EXPECT_EQ(Result(peer->RecordLock(20000, 7)), kObtained);

  EXPECT_EQ(Result(peer->RecordLock(16384, 7)), kRefused);
  EXPECT_EQ(RecordLock(h, 0, 6), kObtained);
  EXPECT_EQ(Block(h).lockCount, 0);
  EXPECT_EQ(Result(peer->RecordLock(16384, 7)), kObtained);
  EXPECT_EQ(Result(peer->RecordLock(1, 7)), kObtained);
  // The grown list goes with the close (the fixture counts the blocks).
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

TEST_F(LockList, ListThatCannotGrowRefusesWithTheByteLocked) {
  auto peer = StartPeer();
  const XBHANDLE h = OpenShared();
  StartLog();
  for (uint32_t r = 1; r <= 64; ++r) ASSERT_EQ(RecordLock(h, r, 7), kObtained);
  kvp::fault::Reset();
  kvp::fault::Arm(kvp::fault::Op::Alloc, 1, 8 /* not enough memory */);
  const LockResult refused = RecordLock(h, 65, 7);
  kvp::fault::Arm(kvp::fault::Op::Alloc, 0, 0);
  EXPECT_EQ(refused, kRefused);
  EXPECT_EQ(XBECODE(), 0);
  EXPECT_EQ(LogLines(), 1);
  EXPECT_EQ(Block(h).lockCapacity, 64);
  EXPECT_EQ(Result(peer->RecordLock(65, 7)), kRefused);
  // The list is intact and grows on the next try.
  EXPECT_EQ(RecordLock(h, 66, 7), kObtained);
  EXPECT_EQ(Block(h).lockCapacity, 164);
  EXPECT_EQ(Listed(h).size(), 65u);
  EXPECT_EQ(Listed(h).back(), 66u);
  EXPECT_EQ(XBDDCLOSE(h), 0);
  EXPECT_EQ(Result(peer->RecordLock(65, 7)), kObtained) << "the close frees it";
}

TEST_F(LockList, LastRegionOfEachCall) {
  const XBHANDLE h = OpenShared();
  struct Expect {
    const char* call;
    uint32_t offset, length;
  };
  auto check = [&](const Expect& e) {
    const XBFILEINFO info = Info(h);
    EXPECT_EQ(info.lockOffset, e.offset) << e.call;
    EXPECT_EQ(info.lockLength, e.length) << e.call;
  };
  check({"after open", 0, 0});
  ASSERT_EQ(RecordLock(h, 5, 7), kObtained);
  check({"record 5", 0x7FFFFFBA, 1});
  ASSERT_EQ(RecordLock(h, 5, 6), kObtained);
  ASSERT_EQ(Lock(h, 1), kObtained);
  check({"mode 1", 0x7FFFFFFE, 1});
  ASSERT_EQ(Unlock(h, 1), kObtained);
  ASSERT_EQ(Lock(h, 2), kObtained);
  check({"mode 2", 0x5FFFFFC0, 0x2000003F});
  ASSERT_EQ(Unlock(h, 2), kObtained);
  ASSERT_EQ(Lock(h, 3), kObtained);
  check({"mode 3", 0x5FFFFFC0, 0x2000003E});
  ASSERT_EQ(Unlock(h, 3), kObtained);
  ASSERT_EQ(Lock(h, 4), kObtained);
  check({"mode 4: the first slot", 0x7FFFFFFC, 1});
  ASSERT_EQ(Unlock(h, 4), kObtained);
  ASSERT_EQ(Lock(h, 5), kObtained);
  check({"mode 5: the slots' test", 0x7FFFFFBF, 63});
  ASSERT_EQ(RecordLock(h, 0x1FFFFFFF, 7), kObtained);
  check({"the highest record under mode 4's test", 0x5FFFFFC0, 1});
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

TEST_F(LockList, UnlockOfOtherModesUsesTheLastRegion) {
  auto peer = StartPeer();
  const XBHANDLE h = OpenShared();
  ASSERT_EQ(Lock(h, 1), kObtained);
  EXPECT_EQ(Unlock(h, 9), kObtained);
  EXPECT_EQ(Result(peer->Lock(1)), kObtained);
  // Unlocking what is not locked is an error, returned as the status.
  ASSERT_EQ(Lock(h, 1), kRefused);
  const LockResult again = Unlock(h, 1);
  EXPECT_LT(again.status, 0);
  EXPECT_EQ(again.lockStatus, XB_LOCK_REFUSED);
  EXPECT_EQ(XBECODE(), again.status);
  XBESCODE(0);
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

TEST_F(LockList, WrongHandlesAndModes) {
  const XBHANDLE h = OpenShared();
  int16_t lockStatus = -1;
  EXPECT_EQ(XBDDLOCK(static_cast<XBHANDLE>(h + 1), 2, &lockStatus), XB_E_HANDLE);
  XBESCODE(0);
  EXPECT_EQ(XBDDUNLOCK(94, 2, &lockStatus), XB_E_HANDLE);
  XBESCODE(0);
  EXPECT_EQ(XBDDRLOCK(XB_NO_HANDLE, 1, 7, &lockStatus), XB_E_HANDLE);
  XBESCODE(0);
  // An NDX handle is not a data file.
  XBHANDLE index = XB_NO_HANDLE;
  const std::string ndx = File("n.ndx");
  ASSERT_EQ(XBDNCREATE(ndx.c_str(), 'C', "NAME", 10), 0);
  ASSERT_EQ(XBDNOPENX(&index, ndx.c_str(), 0), 0);
  EXPECT_EQ(XBDDRLOCK(index, 1, 7, &lockStatus), XB_E_HANDLE);
  XBESCODE(0);
  EXPECT_EQ(XBDNCLOSE(index), 0);

  auto peer = StartPeer();
  // File modes outside 1..5 lock nothing: -12, and the lock status says so.
  for (uint16_t mode : {0, 6, 7, 0xFFFF}) {
    EXPECT_EQ(Lock(h, mode), (LockResult{XB_E_ARGUMENT, XB_LOCK_REFUSED})) << mode;
    XBESCODE(0);
  }
  EXPECT_EQ(Result(peer->Lock(2)), kObtained);
  EXPECT_EQ(Result(peer->Unlock(2)), kObtained);
  // Record modes outside 5..7 do nothing.
  for (uint16_t mode : {0, 4, 8, 0xFFFF}) EXPECT_EQ(RecordLock(h, 3, mode), kObtained) << mode;
  EXPECT_TRUE(Listed(h).empty());
  EXPECT_EQ(Result(peer->RecordLock(3, 7)), kObtained);
  // Record 0 is no record: its byte would be the last shared slot.
  EXPECT_EQ(RecordLock(h, 0, 7), (LockResult{XB_E_SEEK, XB_LOCK_REFUSED}));
  XBESCODE(0);
  EXPECT_EQ(RecordLock(h, 0, 5), (LockResult{XB_E_SEEK, XB_LOCK_REFUSED}));
  XBESCODE(0);
  EXPECT_TRUE(Listed(h).empty());
  // The lock status may be left out.
  EXPECT_EQ(XBDDRLOCK(h, 4, 7, nullptr), 0);
  EXPECT_EQ(XBDDLOCK(h, 1, nullptr), 0);
  EXPECT_EQ(XBDDUNLOCK(h, 1, nullptr), 0);
  EXPECT_EQ(XBDDRLOCK(h, 3, 7, nullptr), 0) << "refused: status 0";
  EXPECT_EQ(Listed(h), (std::vector<uint32_t>{4}));
  EXPECT_EQ(XBDDHLOCK(h), 0);
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

// A refused lock writes one line and leaves status 0; a later call is not
// held up by it.
TEST_F(LockList, RefusalIsAStateNotAnError) {
  auto peer = StartPeer();
  ASSERT_EQ(Result(peer->RecordLock(2, 7)), kObtained);
  ASSERT_EQ(Result(peer->Lock(1)), kObtained);
  const XBHANDLE h = OpenShared();
  StartLog();
  EXPECT_EQ(Lock(h, 4), kRefused);
  EXPECT_EQ(Lock(h, 5), kObtained);
  EXPECT_EQ(Lock(h, 1), kRefused);
  EXPECT_EQ(RecordLock(h, 2, 7), kRefused);
  EXPECT_EQ(RecordLock(h, 2, 5), kRefused);
  EXPECT_EQ(LogLines(), 4);
  EXPECT_EQ(XBDDRGET(h, 2), 0) << "a locked record still reads";
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

// The record-lock list survives a quick close, but the locks go with the
// file; a test of a listed record still succeeds without the file, and
// unlocking what the file no longer holds reports the failure and still
// empties the list.
TEST_F(LockList, QuickCloseKeepsTheListNotTheLocks) {
  auto peer = StartPeer();
  const XBHANDLE h = OpenShared();
  ASSERT_EQ(RecordLock(h, 1, 7), kObtained);
  ASSERT_EQ(RecordLock(h, 2, 7), kObtained);
  ASSERT_EQ(XBDQCLOSE(), 0);
  EXPECT_EQ(Listed(h), (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(Result(peer->RecordLock(1, 7)), kObtained);
  EXPECT_EQ(RecordLock(h, 1, 5), kObtained);
  EXPECT_EQ(RecordLock(h, 0, 6).status < 0, true);
  XBESCODE(0);
  EXPECT_TRUE(Listed(h).empty());
  EXPECT_EQ(RecordLock(h, 2, 7), kObtained);
  EXPECT_EQ(RecordLock(h, 1, 7), kRefused);
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

}  // namespace
}  // namespace kvtest
