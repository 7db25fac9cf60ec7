// Packing on a really full disk: a 64 KiB tmpfs holds the file but not its
// packed copy; the file stays as it was, and with most records deleted the
// pack goes through.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/dbf_write_support.h"

namespace kvtest {
namespace {

namespace fs = std::filesystem;

class DbfPackOnTmpfs : public EngineTest {
 protected:
  void TearDown() override {
    XBESCODE(0);
    if (h_ != XB_NO_HANDLE) XBDDCLOSE(h_);
    EngineTest::TearDown();
  }
  XBHANDLE h_ = XB_NO_HANDLE;
};

class TmpfsMount {
 public:
  explicit TmpfsMount(const std::string& dir) : dir_(dir) {
    mounted_ = mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") == 0;
    error_ = errno;
  }
  ~TmpfsMount() {
    if (mounted_) umount2(dir_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  int error() const { return error_; }

 private:
  std::string dir_;
  bool mounted_ = false;
  int error_ = 0;
};

TEST_F(DbfPackOnTmpfs, FullDiskLeavesTheFileIntact) {
  const std::string dir = File("small");
  fs::create_directory(dir);
  TmpfsMount mount(dir);
  ASSERT_TRUE(mount.mounted()) << "mount -t tmpfs failed: " << std::strerror(mount.error())
                               << " (the test needs root)";
  const std::string path = dir + "/big.dbf";
  XBFIELDDEF defs[] = {Def("NAME", 'C', 12), Def("NUM", 'N', 10, 2), Def("PAD", 'C', 177)};
  ASSERT_EQ(XBDDCREATE(path.c_str(), 3, defs, 1), 0);
  ASSERT_EQ(XBDDOPENX(&h_, path.c_str(), 1), 0);
  // 200 records of 200 bytes: 40 KB of the 64 KiB.
  for (uint32_t r = 1; r <= 200; ++r) {
    ASSERT_EQ(PutNumberedFields(h_, r), 0);
    uint32_t no = 0;
    ASSERT_EQ(XBDDRPUT(h_, &no, XB_PUT_APPEND), 0);
  }
  ASSERT_EQ(XBDDRDEL(h_, 7), 0);
  const std::string before = Slurp(path);
  EXPECT_EQ(XBDDPACK(&h_), XB_E_WRITE);
  XBESCODE(0);
  EXPECT_EQ(Slurp(path), before);
  EXPECT_EQ(fs::directory_iterator(dir) == fs::directory_iterator(), false);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
      << "only the data file stays";
  ASSERT_NE(h_, XB_NO_HANDLE);
  for (uint32_t r : {1u, 100u, 200u}) EXPECT_EQ(CheckNumbered(h_, r), "");
  // With most records deleted the copy fits, and the pack goes through.
  for (uint32_t r = 20; r <= 200; ++r) ASSERT_EQ(XBDDRDEL(h_, r), 0);
  ASSERT_EQ(XBDDPACK(&h_), 0);
  uint32_t n = 0;
  ASSERT_EQ(XBDDSIZE(h_, &n), 0);
  EXPECT_EQ(n, 18u);
  EXPECT_EQ(CheckNumbered(h_, 18), "record 18: NAME 'R19         '");
  ASSERT_EQ(XBDDCLOSE(h_), 0);
  h_ = XB_NO_HANDLE;
}

}  // namespace
}  // namespace kvtest
