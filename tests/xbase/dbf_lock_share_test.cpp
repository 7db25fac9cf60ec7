// Sharing a data file between processes: share modes on open, the share
// lock staying out of the way of the byte-range locks, and records another
// process appends becoming visible once a lock is obtained.
#include <gtest/gtest.h>

#include "platform/kernel/fault.h"
#include "tests/xbase/dbf_lock_fixture.h"

namespace kvtest {
namespace {

class LockSharing : public LockTest {
 protected:
  static uint32_t Size(XBHANDLE h) {
    uint32_t count = 0;
    EXPECT_EQ(XBDDSIZE(h, &count), 0);
    return count;
  }
  static uint16_t OpenFlags(XBHANDLE h) {
    XBFILEINFO info{};
    EXPECT_EQ(XBDDINFO(h, &info), 0);
    return info.openFlags;
  }
};

TEST_F(LockSharing, UnsharedOpenExcludesEveryOtherOpen) {
  Peer peer;
  ASSERT_TRUE(peer.started());
  ASSERT_EQ(Result(peer.Open(path_, 1)).status, 0);
  XBHANDLE h = XB_NO_HANDLE;
  EXPECT_EQ(XBDDOPENX(&h, path_.c_str(), kShared), XB_E_OPEN);
  XBESCODE(0);
  EXPECT_EQ(h, XB_NO_HANDLE);
  EXPECT_EQ(XBDDOPENX(&h, path_.c_str(), 1), XB_E_OPEN);
  XBESCODE(0);
  EXPECT_EQ(XBDDOPENX(&h, path_.c_str(), XB_OPEN_READONLY | kShared), XB_E_OPEN);
  XBESCODE(0);
  ASSERT_EQ(Result(peer.Close()).status, 0);
  EXPECT_EQ(XBDDOPENX(&h, path_.c_str(), 1), 0);
  // Now this process holds it alone.
  Peer second;
  EXPECT_EQ(Result(second.Open(path_, kShared)).status, XB_E_OPEN);
  EXPECT_EQ(XBDDCLOSE(h), 0);
  EXPECT_EQ(Result(second.Open(path_, kShared)).status, 0);
}

TEST_F(LockSharing, SharedOpensCoexistAndRefuseAnUnsharedOne) {
  auto peer = StartPeer();
  const XBHANDLE h = OpenShared();
  XBHANDLE readOnly = XB_NO_HANDLE;
  EXPECT_EQ(XBDDOPENX(&readOnly, path_.c_str(), XB_OPEN_READONLY | kShared), 0);
  EXPECT_EQ(XBDDRGET(h, 10), 0);
  EXPECT_EQ(XBDDCLOSE(readOnly), 0);
  EXPECT_EQ(XBDDCLOSE(h), 0);
  // An unshared open cannot have the file to itself while the peer has it
  // open: it falls back to reading, shared.
  XBHANDLE unshared = XB_NO_HANDLE;
  EXPECT_EQ(XBDDOPENX(&unshared, path_.c_str(), 1), 0);
  EXPECT_EQ(OpenFlags(unshared), 3) << "read-only and shared";
  std::vector<char> record(12, ' ');
  uint32_t number = 0;
  EXPECT_EQ(XBDDRPUTX(unshared, record.data(), &number, XB_PUT_APPEND), XB_E_READONLY);
  XBESCODE(0);
  EXPECT_EQ(XBDDCLOSE(unshared), 0);
  ASSERT_EQ(Result(peer->Close()).status, 0);
  EXPECT_EQ(XBDDOPENX(&unshared, path_.c_str(), 1), 0);
  EXPECT_EQ(OpenFlags(unshared), 0) << "alone now: read-write, unshared";
  EXPECT_EQ(XBDDCLOSE(unshared), 0);
}

// The share lock sits on a byte of its own far above every lock region:
// locking and unlocking the largest region leaves the share modes as they
// were.
TEST_F(LockSharing, LockRegionsLeaveTheShareLockAlone) {
  auto peer = StartPeer();
  ASSERT_EQ(Result(peer->Lock(2)), kObtained);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDDOPENX(&h, path_.c_str(), kShared), 0) << "mode 2 does not keep out opens";
  EXPECT_EQ(XBDDCLOSE(h), 0);
  ASSERT_EQ(Result(peer->Unlock(2)), kObtained);
  ASSERT_EQ(Result(peer->Unlock(2)).status < 0, true) << "nothing left to unlock";
  // The peer's open still counts: an unshared open falls back to reading.
  ASSERT_EQ(XBDDOPENX(&h, path_.c_str(), 1), 0);
  EXPECT_EQ(OpenFlags(h), 3);
  EXPECT_EQ(XBDDCLOSE(h), 0);
  // An unshared holder locks like any other.
  ASSERT_EQ(Result(peer->Close()).status, 0);
  ASSERT_EQ(XBDDOPENX(&h, path_.c_str(), 1), 0);
  EXPECT_EQ(Lock(h, 2), kObtained);
  EXPECT_EQ(Unlock(h, 2), kObtained);
  EXPECT_EQ(RecordLock(h, 1, 7), kObtained);
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

// Another process appends records; this one sees the new count only once a
// lock of mode 1..4 rereads it (mode 5 only tests, and a record lock does not
// reread).
TEST_F(LockSharing, AppendsBecomeVisibleAfterALock) {
  auto peer = StartPeer();
  const XBHANDLE h = OpenShared();
  ASSERT_EQ(Size(h), 10u);
  uint32_t expected = 10;
  for (uint16_t mode : {1, 2, 3, 4}) {
    ASSERT_TRUE(peer->Append(path_, 2).ok);
    expected += 2;
    EXPECT_EQ(Lock(h, 5), kObtained);
    EXPECT_EQ(RecordLock(h, 1, 7), kObtained);
    EXPECT_EQ(RecordLock(h, 1, 6), kObtained);
    EXPECT_EQ(Size(h), expected - 2) << "mode 5 and record locks leave the count";
    EXPECT_EQ(XBDDRGET(h, expected), XB_E_SEEK);
    XBESCODE(0);
    EXPECT_EQ(Lock(h, mode), kObtained);
    EXPECT_EQ(Size(h), expected) << "mode " << mode;
    EXPECT_EQ(XBDDRGET(h, expected), 0);
    EXPECT_EQ(Unlock(h, mode), kObtained);
  }
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

// The same through the engine on both sides: the peer appends with XBDDRPUTX
// under a mode-2 lock, the reader sees the records after its own lock.
TEST_F(LockSharing, EngineAppendsVisibleToAnotherProcessAfterALock) {
  const XBHANDLE h = OpenShared();
  ASSERT_EQ(Size(h), 10u);
  auto writer = StartPeer();
  const LockResult locked = Result(writer->Lock(2));
  ASSERT_EQ(locked.status, 0);
  ASSERT_EQ(locked.lockStatus, 0);
  for (int32_t i = 1; i <= 5; ++i) ASSERT_EQ(Result(writer->AppendUnpacked(i)).status, 0);
  // The writer holds the lock while the reader is refused.
  EXPECT_EQ(Lock(h, 4), kRefused) << "the writer holds mode 2";
  EXPECT_EQ(Size(h), 10u);
  const LockResult unlocked = Result(writer->Unlock(2));
  ASSERT_EQ(unlocked.status, 0);
  ASSERT_EQ(unlocked.lockStatus, 0);

  EXPECT_EQ(Lock(h, 4), kObtained);
  ASSERT_EQ(Size(h), 15u);
  char name[11] = {};
  ASSERT_EQ(XBDDRGET(h, 15), 0);
  ASSERT_EQ(XBDDFGETS(h, 0, name), 0);
  EXPECT_STREQ(name, "new5      ");
  EXPECT_EQ(Unlock(h, 4), kObtained);
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

// A lock whose record-count reread fails is reported as failed, so it must
// not stay held: another process takes the same lock afterwards.
TEST_F(LockSharing, LockWhoseCountRereadFailsIsReleased) {
  auto peer = StartPeer();
  const XBHANDLE h = OpenShared();
  for (uint16_t mode : {1, 2, 3, 4}) {
    kvp::fault::Reset();
    kvp::fault::Arm(kvp::fault::Op::Read, 1, 5 /* ERROR_ACCESS_DENIED */, false);
    const LockResult failed = Lock(h, mode);
    kvp::fault::Reset();
    EXPECT_LT(failed.status, 0) << "mode " << mode;
    XBESCODE(0);
    // Mode 5 proves that no shared slot is held.
    const uint16_t probe = mode == 4 ? 5 : mode;
    EXPECT_EQ(Result(peer->Lock(probe)), kObtained) << "mode " << mode;
    if (probe != 5) {
      EXPECT_EQ(Result(peer->Unlock(probe)), kObtained) << "mode " << mode;
    }
  }
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

}  // namespace
}  // namespace kvtest
