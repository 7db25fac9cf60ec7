// The lock modes against one another across real processes: a peer process
// holds one lock, this process asks for another. Every pair named by the
// exclusion rules is refused (lock status 100, status 0) while the peer
// holds its lock and obtained once the peer has let it go, and the pairs the
// rules leave free are obtained at once.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

#include "tests/xbase/dbf_lock_fixture.h"

namespace kvtest {
namespace {

// One lock call: a file mode, or a record lock (mode 7) or test (mode 5).
struct Call {
  bool record;
  uint16_t mode;
  uint32_t number;  // the record for record calls
};
constexpr Call File(uint16_t mode) {
  return {false, mode, 0};
}
constexpr Call Record(uint32_t r) {
  return {true, XB_RLOCK_LOCK, r};
}
constexpr Call RecordTest(uint32_t r) {
  return {true, XB_RLOCK_TEST, r};
}

struct Pair {
  const char* name;
  Call held;     // by the peer
  Call asked;    // by this process
  bool refused;  // while the peer holds its lock
};

std::ostream& operator<<(std::ostream& out, const Pair& p) {
  return out << p.name;
}

const Pair kPairs[] = {
    // A shared lock (mode 4) fails while another program holds a record
    // lock or a mode-2/3 lock; a mode-1 lock or another shared lock leaves
    // it free.
    {"Mode4VsRecord", Record(1), File(4), true},
    {"Mode4VsMode2", File(2), File(4), true},
    {"Mode4VsMode3", File(3), File(4), true},
    {"Mode4VsMode4", File(4), File(4), false},
    {"Mode4VsMode1", File(1), File(4), false},
    // Modes 2 and 3 fail while another program holds a record or a slot.
    {"Mode2VsRecord", Record(7), File(2), true},
    {"Mode3VsRecord", Record(7), File(3), true},
    {"Mode2VsMode4", File(4), File(2), true},
    {"Mode3VsMode4", File(4), File(3), true},
    {"Mode2VsMode2", File(2), File(2), true},
    {"Mode3VsMode2", File(2), File(3), true},
    {"Mode2VsMode3", File(3), File(2), true},
    // Mode 2 covers the mode-1 byte, mode 3 stops just below it.
    {"Mode2VsMode1", File(1), File(2), true},
    {"Mode3VsMode1", File(1), File(3), false},
    {"Mode1VsMode1", File(1), File(1), true},
    // Mode 5 fails only while a slot is held (or covered by mode 2/3).
    {"Mode5VsMode4", File(4), File(5), true},
    {"Mode5VsMode2", File(2), File(5), true},
    {"Mode5VsRecord", Record(1), File(5), false},
    {"Mode5VsMode1", File(1), File(5), false},
    // A record lock fails while another program holds that record or a
    // mode-2/3 lock, not for another record nor a shared lock.
    {"RecordVsSameRecord", Record(3), Record(3), true},
    {"RecordVsOtherRecord", Record(3), Record(4), false},
    {"RecordVsMode2", File(2), Record(3), true},
    {"RecordVsMode3", File(3), Record(3), true},
    {"RecordVsMode4", File(4), Record(3), false},
    {"RecordVsMode1", File(1), Record(3), false},
    {"RecordTestVsRecord", Record(3), RecordTest(3), true},
    {"RecordTestVsMode2", File(2), RecordTest(3), true},
    {"RecordTestVsOtherRecord", Record(3), RecordTest(2), false},
};

class LockExclusion : public LockTest, public ::testing::WithParamInterface<Pair> {
 protected:
  LockResult Ask(XBHANDLE h, const Call& c) {
    return c.record ? RecordLock(h, c.number, c.mode) : Lock(h, c.mode);
  }
  // Gives back what Ask obtained; tests and mode 5 hold nothing.
  void GiveBack(XBHANDLE h, const Call& c) {
    if (c.record && c.mode == XB_RLOCK_LOCK) {
      EXPECT_EQ(RecordLock(h, c.number, 6), kObtained);
    }
    if (!c.record && c.mode != 5) {
      EXPECT_EQ(Unlock(h, c.mode), kObtained);
    }
  }
  static Peer::Answer Hold(Peer& peer, const Call& c) {
    return c.record ? peer.RecordLock(c.number, c.mode) : peer.Lock(c.mode);
  }
  static Peer::Answer Release(Peer& peer, const Call& c) {
    return c.record ? peer.RecordLock(c.number, 6) : peer.Unlock(c.mode);
  }
};

TEST_P(LockExclusion, HeldByAnotherProcess) {
  const Pair& p = GetParam();
  auto peer = StartPeer();
  const XBHANDLE h = OpenShared();
  ASSERT_EQ(Result(Hold(*peer, p.held)), kObtained);

  if (p.refused) {
    EXPECT_EQ(Ask(h, p.asked), kRefused);
    EXPECT_EQ(XBECODE(), 0) << "a refused lock leaves no error";
    ASSERT_EQ(Result(Release(*peer, p.held)), kObtained);
  }
  EXPECT_EQ(Ask(h, p.asked), kObtained);
  GiveBack(h, p.asked);
  // Once this process has let go, the peer's lock is free again as well.
  if (!p.refused) {
    ASSERT_EQ(Result(Release(*peer, p.held)), kObtained);
  }
  EXPECT_EQ(Result(Hold(*peer, p.asked)), kObtained);
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

INSTANTIATE_TEST_SUITE_P(Rules, LockExclusion, ::testing::ValuesIn(kPairs),
                         [](const auto& test) { return std::string(test.param.name); });

class LockProcesses : public LockTest {};

// 62 programs hold the shared lock at once, each on a slot of its own; the
// 63rd is refused with one log line, and gets the slot the first one to let
// go frees.
TEST_F(LockProcesses, SixtyTwoSharedHoldersAndTheSixtyThirdRefused) {
  std::vector<std::unique_ptr<Peer>> holders;
  std::set<uint32_t> slots;
  for (int i = 0; i < 62; ++i) {
    holders.push_back(StartPeer());
    ASSERT_EQ(Result(holders.back()->Lock(4)), kObtained) << "holder " << i + 1;
    const auto region = holders.back()->LastRegion();
    ASSERT_TRUE(region.ok);
    slots.insert(region.reply.value);
  }
  ASSERT_EQ(slots.size(), 62u);
  EXPECT_EQ(*slots.begin(), 0x7FFFFFBFu);
  EXPECT_EQ(*slots.rbegin(), 0x7FFFFFFCu);

  StartLog();
  const XBHANDLE h = OpenShared();
  EXPECT_EQ(Lock(h, 4), kRefused);
  EXPECT_EQ(XBECODE(), 0);
  EXPECT_EQ(LogLines(), 1) << "one log line per refused lock, however many slots were tried";
  EXPECT_EQ(Lock(h, 5), kRefused) << "mode 5 sees the holders";
  EXPECT_EQ(Lock(h, 2), kRefused);

  // The holder of the slot 0x7FFFFFFC - 20 lets go: that slot is the one taken.
  Peer& leaving = *holders[20];
  const uint32_t freed = leaving.LastRegion().reply.value;
  ASSERT_EQ(Result(leaving.Unlock(4)), kObtained);
  EXPECT_EQ(Lock(h, 4), kObtained);
  XBFILEINFO info{};
  ASSERT_EQ(XBDDINFO(h, &info), 0);
  EXPECT_EQ(info.lockOffset, freed);
  EXPECT_EQ(info.lockLength, 1u);
  EXPECT_EQ(Unlock(h, 4), kObtained);

  // Mode 5's test reaches the lowest slot: with only its holder left, the
  // test still fails.
  for (auto& holder : holders) {
    if (holder->LastRegion().reply.value != 0x7FFFFFBFu) holder.reset();
  }
  EXPECT_EQ(Lock(h, 5), kRefused);
  holders.clear();
  EXPECT_EQ(Lock(h, 5), kObtained);
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

// A holder killed with SIGKILL leaves nothing locked: the kernel closes its
// file and with it every lock of the handle.
TEST_F(LockProcesses, KilledHolderLeavesNothingLocked) {
  // A handle's own record locks keep it from the shared lock (a handle
  // cannot lock over bytes it holds), so a second holder takes that.
  auto records = StartPeer();
  auto shared = StartPeer();
  // The shared lock first: it is refused once a record is locked.
  ASSERT_EQ(Result(shared->Lock(4)), kObtained);
  ASSERT_EQ(Result(records->RecordLock(1, 7)), kObtained);
  ASSERT_EQ(Result(records->RecordLock(9, 7)), kObtained);
  ASSERT_EQ(Result(records->Lock(1)), kObtained);
  const XBHANDLE h = OpenShared();
  ASSERT_EQ(Lock(h, 3), kRefused);
  ASSERT_EQ(Lock(h, 1), kRefused);
  records->Kill();
  ASSERT_EQ(Lock(h, 5), kRefused) << "the other holder is still there";
  shared->Kill();
  // Mode 2 covers every record byte, every slot and the mode-1 byte.
  EXPECT_EQ(Lock(h, 2), kObtained);
  EXPECT_EQ(Unlock(h, 2), kObtained);
  EXPECT_EQ(Lock(h, 5), kObtained);
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

// Locks belong to the open handle, not to the process: two handles of one
// file in this process exclude each other, and closing one frees its locks.
TEST_F(LockProcesses, TwoHandlesInOneProcessExcludeEachOther) {
  const XBHANDLE a = OpenShared();
  const XBHANDLE b = OpenShared();
  EXPECT_EQ(RecordLock(a, 4, 7), kObtained);
  EXPECT_EQ(RecordLock(b, 4, 7), kRefused);
  EXPECT_EQ(RecordLock(b, 4, 5), kRefused);
  EXPECT_EQ(Lock(b, 4), kRefused);
  EXPECT_EQ(Lock(b, 2), kRefused);
  // Unlocking a record this handle does not hold leaves the other's lock.
  EXPECT_EQ(RecordLock(b, 4, 6), kObtained);
  EXPECT_EQ(RecordLock(b, 4, 7), kRefused);
  ASSERT_EQ(XBDDCLOSE(a), 0);
  EXPECT_EQ(RecordLock(b, 4, 7), kObtained);
  EXPECT_EQ(Lock(b, 1), kObtained);
  const XBHANDLE c = OpenShared();
  EXPECT_EQ(Lock(c, 1), kRefused);
  EXPECT_EQ(Lock(c, 4), kRefused);
  EXPECT_EQ(XBDDCLOSE(b), 0);
  EXPECT_EQ(Lock(c, 4), kObtained);
  EXPECT_EQ(Lock(c, 1), kObtained);
  EXPECT_EQ(XBDDCLOSE(c), 0);
}

}  // namespace
}  // namespace kvtest
