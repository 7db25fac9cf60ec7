// Records are read through a mapping of the data file. These cases pin what a
// reader must still see: every byte another process or handle wrote, at the
// next read; a file that grew, read to its new end once the count is
// reread; a file cut short under the reader, an error status and never a
// crash; failure injection on every read.
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <string>

#include "platform/kernel/fault.h"
#include "tests/support/dbf_builder.h"
#include "tests/support/engine_fixture.h"

namespace {

using kvtest::DbfBuilder;

// NAME C(10), NUM N(8,2), BORN D, OK L: 28 bytes a record.
DbfBuilder Table(int records) {
  DbfBuilder b;
  b.Field("NAME", 'C', 10).Field("NUM", 'N', 8, 2).Field("BORN", 'D', 8).Field("OK", 'L', 1);
  for (int r = 1; r <= records; ++r)
    b.Row({"R" + std::to_string(r), std::to_string(r) + ".50", "20010203", "T"});
  return b;
}

struct Step {
  int32_t op;  // 1 rewrite record `record`, 2 append, 3 end
  uint32_t record;
  int32_t value;
};

// The writer: another process with an engine of its own, which rewrites or
// appends one record per request and answers with its status and the record
// number, so that the reader checks each write right after it was made.
[[noreturn]] void RunWriter(const std::string& path, int in, int out) {
  int code = 1;
  XBHANDLE h = XB_NO_HANDLE;
  if (XBDINIT(100, 4) == 0 && XBDDOPENX(&h, path.c_str(), XB_OPEN_SHARED) == 0) {
    code = 0;
    Step step{};
    while (::read(in, &step, sizeof step) == sizeof step && step.op != 3) {
      const std::string name = "W" + std::to_string(step.value);
      const double num = step.value + 0.25;
      XBSTATUS s = XBDDFPUTS(h, 0, name.c_str());
      if (s >= 0) s = XBDDFPUT(h, 1, &num);
      uint32_t r = step.record;
      if (s >= 0) s = XBDDRPUT(h, &r, step.op == 1 ? XB_PUT_UPDATE : XB_PUT_APPEND);
      const int32_t reply[2] = {s, static_cast<int32_t>(r)};
      if (::write(out, reply, sizeof reply) != sizeof reply) break;
    }
    XBDDCLOSE(h);
  }
  XBDTERM();
  ::_exit(code);
}

class DbfViewRead : public kvtest::EngineTest {
 protected:
  std::string Make(int records) {
    const std::string path = File("v" + std::to_string(counter_++) + ".dbf");
    DbfBuilder::WriteFile(path, Table(records).Bytes());
    return path;
  }

  // Expects record r to hold name and number through every read export.
  void ExpectRecord(XBHANDLE h, uint32_t r, const std::string& name, double num) {
    SCOPED_TRACE("record " + std::to_string(r));
    ASSERT_EQ(XBDDRGET(h, r), 0);
    char text[64] = {};
    ASSERT_EQ(XBDDFGETS(h, 0, text), 0);
    EXPECT_EQ(std::string(text), name + std::string(10 - name.size(), ' '));
    ASSERT_EQ(XBDDFNGETS(h, "NAME", text), 0);
    EXPECT_EQ(std::string(text).substr(0, name.size()), name);
    double value = 0;
    ASSERT_EQ(XBDDFGET(h, 1, &value), 0);
    EXPECT_DOUBLE_EQ(value, num);
    value = 0;
    ASSERT_EQ(XBDDFNGET(h, "NUM", &value), 0);
    EXPECT_DOUBLE_EQ(value, num);
    // The unpacked record: flag, NAME and NUL, the double.
    uint8_t unpacked[64] = {};
    ASSERT_EQ(XBDDRGETX(h, unpacked, r), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(unpacked + 1), name.size()), name);
    std::memcpy(&value, unpacked + 12, sizeof value);
    EXPECT_DOUBLE_EQ(value, num);
  }

  int counter_ = 0;
};

TEST_F(DbfViewRead, AnotherProcessRewritesAndAppendsAndEveryReadSeesTheNewestBytes) {
  const std::string path = Make(40);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDDOPENX(&h, path.c_str(), XB_OPEN_SHARED), 0);
  // The first reads map the file as it is.
  for (uint32_t r = 1; r <= 40; ++r) ExpectRecord(h, r, "R" + std::to_string(r), r + 0.5);

  int toWriter[2], fromWriter[2];
  ASSERT_EQ(::pipe(toWriter), 0);
  ASSERT_EQ(::pipe(fromWriter), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) RunWriter(path, toWriter[0], fromWriter[1]);
  ::close(toWriter[0]);
  ::close(fromWriter[1]);

  uint32_t count = 40;
  for (int32_t i = 1; i <= 300; ++i) {
    // Rewrites in the mapped part, and appends that take the file past the
    // view (a new page every few records).
    Step step{i % 3 == 0 ? 2 : 1, static_cast<uint32_t>(1 + (i * 7) % count), i};
    ASSERT_EQ(::write(toWriter[1], &step, sizeof step), static_cast<ssize_t>(sizeof step));
    int32_t reply[2] = {};
    ASSERT_EQ(::read(fromWriter[0], reply, sizeof reply), static_cast<ssize_t>(sizeof reply));
    ASSERT_EQ(reply[0], 0) << "writer step " << i;
    const uint32_t r = static_cast<uint32_t>(reply[1]);
    if (step.op == 2) {
      ASSERT_EQ(r, count + 1);
      // Beyond the count this handle knows: refused until it rereads it.
      EXPECT_EQ(XBDDRGET(h, r), XB_E_SEEK);
      XBESCODE(0);
      ASSERT_EQ(XBDDHGET(h), 0);
      ASSERT_EQ(XBDDSIZE(h, &count), 0);
      ASSERT_EQ(count, r);
    }
    ExpectRecord(h, r, "W" + std::to_string(i), i + 0.25);
    if (HasFatalFailure()) break;
  }
  Step quit{3, 0, 0};
  ASSERT_EQ(::write(toWriter[1], &quit, sizeof quit), static_cast<ssize_t>(sizeof quit));
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ::close(toWriter[1]);
  ::close(fromWriter[0]);
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

TEST_F(DbfViewRead, WritesThroughAnotherHandleAreSeenAtOnce) {
  const std::string path = Make(5);
  XBHANDLE reader = XB_NO_HANDLE, writer = XB_NO_HANDLE;
  ASSERT_EQ(XBDDOPENX(&reader, path.c_str(), XB_OPEN_SHARED), 0);
  ASSERT_EQ(XBDDOPENX(&writer, path.c_str(), XB_OPEN_SHARED), 0);
  ExpectRecord(reader, 3, "R3", 3.5);
  ASSERT_EQ(XBDDRGET(writer, 3), 0);
  ASSERT_EQ(XBDDFPUTS(writer, 0, "CHANGED"), 0);
  uint32_t r = 3;
  ASSERT_EQ(XBDDRPUT(writer, &r, XB_PUT_UPDATE), 0);
  ExpectRecord(reader, 3, "CHANGED", 3.5);
  // Deleting shows in the flag at the next read.
  ASSERT_EQ(XBDDRDEL(writer, 3), 0);
  EXPECT_EQ(XBDDRGET(reader, 3), XB_DELETED);
  EXPECT_EQ(XBDDCLOSE(writer), 0);
  EXPECT_EQ(XBDDCLOSE(reader), 0);
}

TEST_F(DbfViewRead, OwnAppendsAreReadPastTheFirstView) {
  const std::string path = Make(1);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDDOPENX(&h, path.c_str(), 0), 0);
  ExpectRecord(h, 1, "R1", 1.5);
  for (int i = 2; i <= 400; ++i) {
    const std::string name = "A" + std::to_string(i);
    const double num = i;
    ASSERT_EQ(XBDDFPUTS(h, 0, name.c_str()), 0);
    ASSERT_EQ(XBDDFPUT(h, 1, &num), 0);
    uint32_t r = 0;
    ASSERT_EQ(XBDDRPUT(h, &r, XB_PUT_APPEND), 0);
    ASSERT_EQ(r, static_cast<uint32_t>(i));
    if (i % 37 == 0) ExpectRecord(h, 2, "A2", 2);
  }
  for (uint32_t r = 2; r <= 400; ++r) ExpectRecord(h, r, "A" + std::to_string(r), r);
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

// The file is cut short by another process while the reader holds a view:
// records wholly beyond the new end (whose pages are gone: SIGBUS in a bare
// mapping) and the record cut in the middle (whose tail reads as zeros from
// the last page of a bare mapping) give the short-read status, as a file
// read does; what is left reads as before.
TEST_F(DbfViewRead, FileCutShortUnderTheReaderGivesTheReadErrorNotACrash) {
  const int records = 2000;  // 28 bytes each: many pages
  const std::string path = Make(records);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDDOPENX(&h, path.c_str(), XB_OPEN_SHARED | XB_OPEN_READONLY), 0);
  ExpectRecord(h, records, "R" + std::to_string(records), records + 0.5);

  // Cut in the middle of record 100 (header 32 + 4 x 32 + 1 = 161 bytes).
  const off_t header = 161;
  const off_t cut = header + 99 * 28 + 10;
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) ::_exit(::truncate(path.c_str(), cut) == 0 ? 0 : 1);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  EXPECT_EQ(XBDDRGET(h, records), XB_E_READ);
  XBESCODE(0);
  EXPECT_EQ(XBDDRGET(h, 1000), XB_E_READ);
  XBESCODE(0);
  EXPECT_EQ(XBDDRGET(h, 100), XB_E_READ);
  // The failed read leaves no partial record behind.
  char text[64] = {};
  XBESCODE(0);
  ASSERT_EQ(XBDDFGETS(h, 0, text), 0);
  EXPECT_EQ(std::string(text), std::string(10, ' '));
  ExpectRecord(h, 99, "R99", 99.5);
  ExpectRecord(h, 1, "R1", 1.5);
  // Grown again by another program: read to the new end once more.
  {
    const std::string all = Table(records).Bytes();
    FILE* f = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(all.data(), 1, all.size(), f), all.size());
    std::fclose(f);
  }
  ExpectRecord(h, 100, "R100", 100.5);
  ExpectRecord(h, records, "R" + std::to_string(records), records + 0.5);
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

// Zero bytes inside the file are data, not the end of a cut file.
TEST_F(DbfViewRead, ZeroBytesInsideTheFileAreReadAsStored) {
  DbfBuilder b;
  b.Field("RAW", 'C', 6).Field("NUM", 'N', 4);
  b.Record(std::string("ab\0\0cd", 6) + "  12");
  b.Record(std::string(6, '\0') + "  34");
  const std::string path = File("zero.dbf");
  DbfBuilder::WriteFile(path, b.Bytes());
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDDOPENX(&h, path.c_str(), XB_OPEN_SHARED), 0);
  uint8_t unpacked[32];
  std::memset(unpacked, 0x55, sizeof unpacked);
  ASSERT_EQ(XBDDRGETX(h, unpacked, 1), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(unpacked + 1), 6), std::string("ab\0\0cd", 6));
  double num = 0;
  ASSERT_EQ(XBDDFGET(h, 1, &num), 0);
  EXPECT_EQ(num, 12);
  ASSERT_EQ(XBDDRGET(h, 2), 0);
  ASSERT_EQ(XBDDFGET(h, 1, &num), 0);
  EXPECT_EQ(num, 34);
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

// Each record read is one read for the failure hook, mapped or not, and an
// injected failure is the failed read the engine reports for the file.
TEST_F(DbfViewRead, InjectedReadFailuresReachMappedReads) {
  const std::string path = Make(10);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDDOPENX(&h, path.c_str(), XB_OPEN_SHARED), 0);
  kvp::fault::Reset();
  ASSERT_EQ(XBDDRGET(h, 1), 0);
  ASSERT_EQ(XBDDRGET(h, 2), 0);
  EXPECT_EQ(kvp::fault::Calls(kvp::fault::Op::Read), 2u);
  kvp::fault::Arm(kvp::fault::Op::Read, 2, kvp::ERROR_ACCESS_DENIED);
  ASSERT_EQ(XBDDRGET(h, 3), 0);
  EXPECT_EQ(XBDDRGET(h, 4), XB_E_READ);
  EXPECT_EQ(XBECODE(), XB_E_READ);
  XBESCODE(0);
  char text[64] = {};
  ASSERT_EQ(XBDDFGETS(h, 0, text), 0);
  EXPECT_EQ(std::string(text), std::string(10, ' '));
  ExpectRecord(h, 4, "R4", 4.5);
  kvp::fault::Reset();
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

// After a quick close the file is reopened, and read through a new view.
TEST_F(DbfViewRead, QuickCloseDropsTheViewAndReadsAgainAfterReopening) {
  const std::string path = Make(3);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDDOPENX(&h, path.c_str(), XB_OPEN_SHARED), 0);
  ExpectRecord(h, 2, "R2", 2.5);
  ASSERT_EQ(XBDQCLOSE(), 0);
  // Replaced while closed: the reopened file is the new one.
  DbfBuilder::WriteFile(path, Table(6).Bytes());
  ASSERT_EQ(XBDDHGET(h), 0);
  ExpectRecord(h, 6, "R6", 6.5);
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

}  // namespace
