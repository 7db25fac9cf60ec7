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
  // Appends one record through XBDDRPUTX, as another program would.
  static XBSTATUS AppendOne(XBHANDLE h, const char* name) {
    std::vector<char> record(1 + 11, '\0');
    record[0] = ' ';
    std::snprintf(record.data() + 1, 11, "%s", name);
    uint32_t number = 0;
    return XBDDRPUTX(h, record.data(), &number, XB_PUT_APPEND);
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

#ifndef _WIN32  // its writer is a fork()ed child, not the peer program
// The same through the engine on both sides: the peer appends with XBDDRPUTX
// under a mode-2 lock, the reader sees the records after its own lock.
TEST_F(LockSharing, EngineAppendsVisibleToAnotherProcessAfterALock) {
  const XBHANDLE h = OpenShared();
  ASSERT_EQ(Size(h), 10u);
  int ready[2];
  int done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  const pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    close(ready[0]);
    close(done[1]);
    int failed = 0;
    if (XBDINIT(100, 4) != 0) _exit(2);
    XBHANDLE w = XB_NO_HANDLE;
    int16_t lockStatus = -1;
    if (XBDDOPENX(&w, path_.c_str(), kShared) != 0) _exit(3);
    if (XBDDLOCK(w, 2, &lockStatus) != 0 || lockStatus != 0) _exit(4);
    for (int i = 0; i < 5; ++i) {
      const std::string name = "new" + std::to_string(i + 1);
      if (AppendOne(w, name.c_str()) != 0) failed = 5;
    }
    // Holds the lock until the reader has been refused.
    if (write(ready[1], "r", 1) != 1) failed = 6;
    char go = 0;
    if (read(done[0], &go, 1) != 1) failed = 7;
    if (XBDDUNLOCK(w, 2, &lockStatus) != 0 || lockStatus != 0) failed = 8;
    if (XBDDCLOSE(w) != 0) failed = 9;
    XBDTERM();
    _exit(failed);
  }
  close(ready[1]);
  close(done[0]);
  char signal = 0;
  ASSERT_EQ(read(ready[0], &signal, 1), 1);
  EXPECT_EQ(Lock(h, 4), kRefused) << "the writer holds mode 2";
  EXPECT_EQ(Size(h), 10u);
  ASSERT_EQ(write(done[1], "g", 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(writer, &status, 0), writer);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  close(ready[0]);
  close(done[1]);

  EXPECT_EQ(Lock(h, 4), kObtained);
  ASSERT_EQ(Size(h), 15u);
  char name[11] = {};
  ASSERT_EQ(XBDDRGET(h, 15), 0);
  ASSERT_EQ(XBDDFGETS(h, 0, name), 0);
  EXPECT_STREQ(name, "new5      ");
  EXPECT_EQ(Unlock(h, 4), kObtained);
  EXPECT_EQ(XBDDCLOSE(h), 0);
}
#endif

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
