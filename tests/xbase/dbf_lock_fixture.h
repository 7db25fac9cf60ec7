// A started engine with a shared data file of ten records, the lock calls'
// answers as one value, and a log file to count the lines refused locks
// write.
#pragma once
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/support/dbf_builder.h"
#include "tests/support/engine_fixture.h"
#include "tests/xbase/dbf_lock_peer.h"

namespace kvtest {

inline constexpr uint16_t kShared = XB_OPEN_SHARED | 1;

// The status code and the lock status of one call.
struct LockResult {
  int16_t status;
  int16_t lockStatus;
  bool operator==(const LockResult&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const LockResult& r) {
  return out << "{status " << r.status << ", lock status " << r.lockStatus << "}";
}
inline constexpr LockResult kObtained{0, 0};
inline constexpr LockResult kRefused{0, XB_LOCK_REFUSED};

inline LockResult Result(const Peer::Answer& a) {
  return a.ok ? LockResult{a.reply.status, a.reply.lockStatus} : LockResult{-32768, -32768};
}

class LockTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    DbfBuilder b;
    b.Field("NAME", 'C', 10);
    for (int i = 0; i < 10; ++i) b.Row({"row" + std::to_string(i + 1)});
    path_ = b.WriteTo(File("shared.dbf")).string();
  }

  XBHANDLE OpenShared() {
    XBHANDLE h = XB_NO_HANDLE;
    EXPECT_EQ(XBDDOPENX(&h, path_.c_str(), kShared), 0);
    return h;
  }

  static LockResult Lock(XBHANDLE h, uint16_t mode) {
    int16_t lockStatus = -1;
    const XBSTATUS s = XBDDLOCK(h, mode, &lockStatus);
    return {s, lockStatus};
  }
  static LockResult Unlock(XBHANDLE h, uint16_t mode) {
    int16_t lockStatus = -1;
    const XBSTATUS s = XBDDUNLOCK(h, mode, &lockStatus);
    return {s, lockStatus};
  }
  static LockResult RecordLock(XBHANDLE h, uint32_t record, uint16_t mode) {
    int16_t lockStatus = -1;
    const XBSTATUS s = XBDDRLOCK(h, record, mode, &lockStatus);
    return {s, lockStatus};
  }

  // A peer process with the data file open shared.
  std::unique_ptr<Peer> StartPeer() {
    auto peer = std::make_unique<Peer>();
    EXPECT_TRUE(peer->started());
    EXPECT_EQ(Result(peer->Open(path_, kShared)).status, 0);
    return peer;
  }

  // Turns the log on; LogLines() counts what it holds.
  void StartLog() {
    log_ = File("e.log");
    char name[30] = {};
    std::snprintf(name, sizeof name, "%s", log_.c_str());
    ASSERT_EQ(std::string(name), log_) << "the log path must fit 29 characters";
    ASSERT_EQ(XBESLOG(1, name), 0);
  }
  int LogLines() const {
    std::ifstream in(log_);
    int lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    return lines;
  }

  std::string path_;
  std::string log_;
};

}  // namespace kvtest
