// The engine's state belongs to its caller: a fork() copies the parent's
// memory, engine and handles included, into a child that has not started
// the engine.
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "tests/support/dbf_builder.h"
#include "tests/support/engine_fixture.h"

namespace kvtest {
namespace {

class DbfReadForkedChild : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    path_ = File("forked.dbf");
    DbfBuilder b;
    b.Field("NAME", 'C', 10).Field("NUM", 'N', 8, 2);
    b.Row({"alpha", "12.50"});
    DbfBuilder::WriteFile(path_, b.Bytes());
    ASSERT_EQ(XBDDOPENX(&h_, path_.c_str(), XB_OPEN_SHARED), 0);
  }
  void TearDown() override {
    XBESCODE(0);
    XBDDCLOSE(h_);
    EngineTest::TearDown();
  }

  std::string path_;
  XBHANDLE h_ = XB_NO_HANDLE;
};

// A forked child shares its parent's memory but is another caller: until it
// starts the engine itself every call is refused, whatever the parent had
// open; once started it works on its own handles.
TEST_F(DbfReadForkedChild, IsNotItsParentsCaller) {
  ASSERT_EQ(XBDDRGET(h_, 1), 0);
  char text[32] = {};
  ASSERT_EQ(XBDDFGETS(h_, 0, text), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int failures = 0;
    char t[32] = {};
    double d = 0;
    if (XBDDFGETS(h_, 0, t) != XB_E_NOT_STARTED || t[0] != '\0') failures |= 1;
    if (XBDDFGET(h_, 1, &d) != XB_E_NOT_STARTED || d != 0) failures |= 2;
    if (XBDDRGET(h_, 1) != XB_E_NOT_STARTED) failures |= 4;
    if (XBDDRGETX(h_, t, 1) != XB_E_NOT_STARTED) failures |= 8;
    if (XBECODE() != XB_E_NOT_STARTED) failures |= 16;
    XBHANDLE mine = XB_NO_HANDLE;
    if (XBDINIT(100, 4) != 0 || XBDDOPENX(&mine, path_.c_str(), XB_OPEN_SHARED) != 0 ||
        XBDDRGET(mine, 1) != 0 || XBDDFGET(mine, 1, &d) != 0 || d != 12.5)
      failures |= 32;
    _exit(failures);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "failed checks (bits)";
  // The parent goes on as before.
  double num = 0;
  EXPECT_EQ(XBDDFGET(h_, 1, &num), 0);
  EXPECT_EQ(num, 12.5);
}

}  // namespace
}  // namespace kvtest
