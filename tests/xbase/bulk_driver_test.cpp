// The bulk build driver: the sort file's unique name, its fall-back
// directories (by failure injection and with a really read-only directory),
// failures at every point of a build (reads, writes, allocations, a full
// disk) leaving no index file, no sort file, no memory and no lock behind,
// and simultaneous builds in one directory from two threads (from two
// processes: bulk_two_process_test.cpp).
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "platform/kernel/fault.h"
#include "tests/xbase/bulk_fixture.h"
#include "tests/xbase/dbf_lock_peer.h"
#include "tests/xbase/ndx_support.h"
#include "xbase/build/bulk_build.h"

namespace kvtest {
namespace {

namespace fs = std::filesystem;
using kvp::fault::Op;

// Paths the sort-file hook saw, in order.
std::mutex hookMutex;
std::vector<std::string> hookPaths;
void RecordPath(const char* path) {
  std::lock_guard<std::mutex> lock(hookMutex);
  hookPaths.emplace_back(path);
}

// A read-only or size-limited tmpfs over a directory of the test.
class Tmpfs {
 public:
  Tmpfs(const std::string& dir, unsigned long flags, const char* size) : dir_(dir) {
    fs::create_directories(dir);
    const std::string options = std::string("size=") + size;
    mounted_ = mount("tmpfs", dir.c_str(), "tmpfs", flags, options.c_str()) == 0;
    error_ = errno;
  }
  ~Tmpfs() {
    if (mounted_) umount2(dir_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  std::string why() const {
    return std::string("mount -t tmpfs failed: ") + std::strerror(error_) + " (needs root)";
  }

 private:
  std::string dir_;
  bool mounted_ = false;
  int error_ = 0;
};

class BulkDriver : public BulkTest {
 protected:
  void SetUp() override {
    BulkTest::SetUp();
    hookPaths.clear();
    kv::xb::bulk::SetSortFileHook(RecordPath);
    kvp::fault::Reset();
    const char* tmp = std::getenv("TMPDIR");
    if (tmp != nullptr) savedTmp_ = tmp;
    hadTmp_ = tmp != nullptr;
  }
  void TearDown() override {
    kvp::fault::Reset();
    kv::xb::bulk::SetSortFileHook(nullptr);
    if (hadTmp_) {
      setenv("TMPDIR", savedTmp_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
    BulkTest::TearDown();
  }

  XBHANDLE Names(const std::string& file, uint32_t count) {
    const std::string path = File(file);
    WriteDataFile(path, {{"NAME", 'C', 10}}, count,
                  [](uint32_t r) { return std::vector<std::string>{ScatteredName(r)}; });
    return OpenData(path);
  }

  // After a failed build: no index, no sort file anywhere it could go, the
  // data file free for another process's exclusive lock.
  void ExpectCleanFailure(const std::string& ndx, const std::string& dataPath, const char* what,
                          unsigned n) {
    EXPECT_FALSE(fs::exists(ndx)) << what << " " << n;
    EXPECT_TRUE(SortFilesIn(dir_.path()).empty()) << what << " " << n;
    EXPECT_TRUE(SortFilesIn(fs::path(ndx).parent_path().string()).empty()) << what << " " << n;
    Peer& peer = PeerOn(dataPath);
    const auto locked = peer.Lock(2);
    ASSERT_TRUE(locked.ok);
    EXPECT_EQ(locked.reply.lockStatus, 0) << what << " " << n << ": data file left locked";
    EXPECT_EQ(peer.Unlock(2).reply.status, 0);
  }

  Peer& PeerOn(const std::string& dataPath) {
    if (!peer_) {
      peer_ = std::make_unique<Peer>();
      EXPECT_TRUE(peer_->started());
      EXPECT_EQ(peer_->Open(dataPath, XB_OPEN_SHARED).reply.status, 0);
    }
    return *peer_;
  }

  std::unique_ptr<Peer> peer_;
  std::string savedTmp_;
  bool hadTmp_ = false;
};

TEST_F(BulkDriver, SortFileTakesTheNextFreeName) {
  XBHANDLE data = Names("names.dbf", 500);
  { std::ofstream(File("stacks.tmp")) << "not ours"; }
  ASSERT_EQ(XBDNINDEX(data, File("a.ndx").c_str(), 'C', "NAME", 10), 0);
  { std::ofstream(File("stacks1.tmp")) << "not ours either"; }
  ASSERT_EQ(XBDNINDEX(data, File("b.ndx").c_str(), 'C', "NAME", 10), 0);
  ASSERT_EQ(hookPaths.size(), 2u);
  EXPECT_EQ(hookPaths[0], "stacks1.tmp");
  EXPECT_EQ(hookPaths[1], "stacks2.tmp");
  // Files of other builds are left as they were.
  std::string text;
  std::getline(std::ifstream(File("stacks.tmp")), text);
  EXPECT_EQ(text, "not ours");
  std::getline(std::ifstream(File("stacks1.tmp")), text);
  EXPECT_EQ(text, "not ours either");
  EXPECT_FALSE(fs::exists(File("stacks2.tmp")));
  fs::remove(File("stacks.tmp"));
  fs::remove(File("stacks1.tmp"));
  ExpectGoodNameIndex(File("a.ndx"), 500);
  ExpectGoodNameIndex(File("b.ndx"), 500);
}

TEST_F(BulkDriver, UnwritableCurrentDirectoryFallsBackByInjection) {
  XBHANDLE data = Names("names.dbf", 3000);
  fs::create_directory(File("idx"));
  TempDir system;
  setenv("TMPDIR", system.path().c_str(), 1);
  // Create call 1 makes the index; call 2 is the sort file in the current
  // directory.
  kvp::fault::Reset();
  kvp::fault::Arm(Op::Create, 2, kvp::ERROR_ACCESS_DENIED);
  const std::string inDir = File("idx/a.ndx");
  ASSERT_EQ(XBDNINDEX(data, inDir.c_str(), 'C', "NAME", 10), 0);
  ASSERT_EQ(hookPaths.size(), 1u);
  EXPECT_EQ(hookPaths[0], inDir.substr(0, inDir.size() - 5) + "stacks.tmp");
  ExpectGoodNameIndex(inDir, 3000);

  // An index named without a directory lives in the current one: the
  // system's temporary directory comes next.
  kvp::fault::Reset();
  kvp::fault::Arm(Op::Create, 2, kvp::ERROR_ACCESS_DENIED);
  ASSERT_EQ(XBDNINDEX(data, "here.ndx", 'C', "NAME", 10), 0);
  ASSERT_EQ(hookPaths.size(), 2u);
  EXPECT_EQ(hookPaths[1], system.path() + "/stacks.tmp");
  EXPECT_TRUE(SortFilesIn(system.path()).empty());
  ExpectGoodNameIndex(File("here.ndx"), 3000);

  // Nowhere to go: -46, and no index file.
  kvp::fault::Reset();
  kvp::fault::Arm(Op::Create, 2, kvp::ERROR_ACCESS_DENIED, true);
  const std::string nowhere = File("idx/b.ndx");
  EXPECT_EQ(XBDNINDEX(data, nowhere.c_str(), 'C', "NAME", 10), XB_E_OPEN);
  XBESCODE(0);
  EXPECT_EQ(kvp::fault::Calls(Op::Create), 4u);  // index, cwd, index dir, temp
  ExpectCleanFailure(nowhere, File("names.dbf"), "no directory", 0);
}

TEST_F(BulkDriver, ReadOnlyCurrentDirectoryFallsBack) {
  XBHANDLE data = Names("names.dbf", 3000);
  fs::create_directory(File("idx"));
  const std::string readOnly = File("ro");
  Tmpfs mount(readOnly, MS_RDONLY, "64k");
  ASSERT_TRUE(mount.mounted()) << mount.why();
  ASSERT_EQ(chdir(readOnly.c_str()), 0);
  const std::string ndx = File("idx/a.ndx");
  ASSERT_EQ(XBDNINDEX(data, ndx.c_str(), 'C', "NAME", 10), 0);
  ASSERT_EQ(hookPaths.size(), 1u);
  EXPECT_EQ(hookPaths[0], File("idx/stacks.tmp"));
  ExpectGoodNameIndex(ndx, 3000);

  // The index's directory refuses too (by injection: the index itself was
  // just created there): the system's temporary directory takes it.
  TempDir system;
  setenv("TMPDIR", system.path().c_str(), 1);
  kvp::fault::Reset();
  kvp::fault::Arm(Op::Create, 3, kvp::ERROR_ACCESS_DENIED);
  const std::string second = File("idx/b.ndx");
  ASSERT_EQ(XBDNINDEX(data, second.c_str(), 'C', "NAME", 10), 0);
  ASSERT_EQ(hookPaths.size(), 2u);
  EXPECT_EQ(hookPaths[1], system.path() + "/stacks.tmp");
  EXPECT_TRUE(SortFilesIn(system.path()).empty());
  ExpectGoodNameIndex(second, 3000);
  ASSERT_EQ(chdir(dir_.path().c_str()), 0);
}

// Runs the build once per call of `op`, the nth failing, until a build gets
// through without meeting the failure.
template <typename Check>
unsigned SweepFailures(Op op, kvp::DWORD error, bool sticky, XBHANDLE data, const std::string& ndx,
                       Check check) {
  for (unsigned n = 1;; ++n) {
    kvp::fault::Reset();
    kvp::fault::Arm(op, n, error, sticky);
    const XBSTATUS s = XBDNINDEX(data, ndx.c_str(), 'C', "NAME", 10);
    const unsigned calls = kvp::fault::Calls(op);
    kvp::fault::Reset();
    if (calls < n) {
      EXPECT_EQ(s, 0) << n;
      return n;
    }
    check(n, s, calls);
    XBESCODE(0);
    if (n > 5000) {
      ADD_FAILURE() << "the sweep does not end";
      return n;
    }
  }
}

TEST_F(BulkDriver, ReadFailuresAtEveryPointLeaveNothingBehind) {
  // 12,000 keys of 14-byte elements make three runs.
  XBHANDLE data = Names("names.dbf", 12000);
  const std::string ndx = File("r.ndx");
  const unsigned points = SweepFailures(Op::Read, kvp::ERROR_ACCESS_DENIED, false, data, ndx,
                                        [&](unsigned n, XBSTATUS s, unsigned) {
                                          EXPECT_LT(s, 0) << n;
                                          ExpectCleanFailure(ndx, File("names.dbf"), "read", n);
                                        });
  EXPECT_GT(points, 100u);
  ExpectGoodNameIndex(ndx, 12000);
}

TEST_F(BulkDriver, WriteFailuresAtEveryPointLeaveNothingBehind) {
  XBHANDLE data = Names("names.dbf", 12000);
  const std::string ndx = File("w.ndx");
  bool sortFileWriteSeen = false;
  const unsigned points = SweepFailures(Op::Write, kvp::ERROR_DISK_FULL, false, data, ndx,
                                        [&](unsigned n, XBSTATUS s, unsigned) {
                                          EXPECT_LT(s, 0) << n;
                                          // Writes 2 to 4 are the three runs going to the sort
                                          // file: -1.
                                          if (n >= 2 && n <= 4) {
                                            EXPECT_EQ(s, XB_E_WRITE) << n;
                                            sortFileWriteSeen = true;
                                          }
                                          ExpectCleanFailure(ndx, File("names.dbf"), "write", n);
                                        });
  EXPECT_TRUE(sortFileWriteSeen);
  EXPECT_GT(points, 400u);  // the pages
  ExpectGoodNameIndex(ndx, 12000);
}

TEST_F(BulkDriver, AllocationFailuresAtEveryPointLeaveNothingBehind) {
  XBHANDLE data = Names("names.dbf", 12000);
  const std::string ndx = File("m.ndx");
  SweepFailures(Op::Alloc, kvp::ERROR_NOT_ENOUGH_MEMORY, false, data, ndx,
                [&](unsigned n, XBSTATUS s, unsigned) {
                  // One refused allocation of the sort buffer costs 512
                  // bytes of it, not the build.
                  if (s == 0) return;
                  ExpectCleanFailure(ndx, File("names.dbf"), "alloc", n);
                  fs::remove(ndx);
                });
  fs::remove(ndx);
  // From some point on nothing can be allocated: the sort buffer is tried
  // from 65000 bytes down by 512 to the last size above 2048 (123 tries),
  // then -3.
  bool bufferSeen = false;
  SweepFailures(Op::Alloc, kvp::ERROR_NOT_ENOUGH_MEMORY, true, data, ndx,
                [&](unsigned n, XBSTATUS s, unsigned calls) {
                  EXPECT_LT(s, 0) << n;
                  if (s == XB_E_MEMORY && calls - n + 1 == 123) bufferSeen = true;
                  ExpectCleanFailure(ndx, File("names.dbf"), "sticky alloc", n);
                });
  EXPECT_TRUE(bufferSeen) << "no sweep point failed in the sort buffer's 123 tries";
  ExpectGoodNameIndex(ndx, 12000);
}

TEST_F(BulkDriver, FullDiskLeavesNothingBehind) {
  const std::string full = File("full");
  Tmpfs mount(full, 0, "256k");
  ASSERT_TRUE(mount.mounted()) << mount.why();
  ASSERT_EQ(chdir(full.c_str()), 0);
  // 20,000 elements of 14 bytes overflow the disk while the runs are
  // written; 15,000 fit, and then the index pages do not.
  for (uint32_t count : {20000u, 15000u}) {
    XBHANDLE data = Names("names" + std::to_string(count) + ".dbf", count);
    const std::string ndx = full + "/full.ndx";
    hookPaths.clear();
    const XBSTATUS s = XBDNINDEX(data, ndx.c_str(), 'C', "NAME", 10);
    EXPECT_LT(s, 0) << count;
    if (count == 20000) {
      EXPECT_EQ(s, XB_E_WRITE);
    }
    XBESCODE(0);
    ASSERT_EQ(hookPaths.size(), 1u);
    EXPECT_EQ(hookPaths[0], "stacks.tmp");  // it went on the small disk
    EXPECT_TRUE(SortFilesIn(full).empty()) << count;
    EXPECT_FALSE(fs::exists(ndx)) << count;
    EXPECT_TRUE(fs::is_empty(full)) << count;
    peer_.reset();
    ExpectCleanFailure(ndx, File("names" + std::to_string(count) + ".dbf"), "full", count);
    peer_.reset();
  }
  ASSERT_EQ(chdir(dir_.path().c_str()), 0);
}

// Two threads of one host: the first build stops right after creating its
// sort file while the second runs a whole build (the engine's calls stay
// one at a time), then the first goes on.
std::mutex pauseMutex;
std::condition_variable pauseChanged;
bool firstPaused = false;
bool firstMayGo = false;
void PauseFirstBuild(const char* path) {
  RecordPath(path);
  std::unique_lock<std::mutex> lock(pauseMutex);
  if (firstPaused) return;  // the second build passes
  firstPaused = true;
  pauseChanged.notify_all();
  pauseChanged.wait(lock, [] { return firstMayGo; });
}

TEST_F(BulkDriver, TwoThreadsWithOverlappingBuilds) {
  XBHANDLE first = Names("first.dbf", 20000);
  XBHANDLE second = Names("second.dbf", 20000);
  kv::xb::bulk::SetSortFileHook(PauseFirstBuild);
  firstPaused = false;
  firstMayGo = false;
  XBSTATUS firstStatus = -999;
  std::thread worker(
      [&] { firstStatus = XBDNINDEX(first, File("first.ndx").c_str(), 'C', "NAME", 10); });
  {
    std::unique_lock<std::mutex> lock(pauseMutex);
    pauseChanged.wait(lock, [] { return firstPaused; });
  }
  const XBSTATUS secondStatus = XBDNINDEX(second, File("second.ndx").c_str(), 'C', "NAME", 10);
  {
    std::lock_guard<std::mutex> lock(pauseMutex);
    firstMayGo = true;
  }
  pauseChanged.notify_all();
  worker.join();
  EXPECT_EQ(firstStatus, 0);
  EXPECT_EQ(secondStatus, 0);
  ASSERT_EQ(hookPaths.size(), 2u);
  EXPECT_EQ(hookPaths[0], "stacks.tmp");
  EXPECT_EQ(hookPaths[1], "stacks1.tmp");
  ExpectGoodNameIndex(File("first.ndx"), 20000);
  ExpectGoodNameIndex(File("second.ndx"), 20000);
}

}  // namespace
}  // namespace kvtest
