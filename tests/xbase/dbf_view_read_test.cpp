// Records are read through a mapping of the data file. These cases pin what a
// reader must still see: every byte another process or handle wrote, at the
// next read; a file that grew, read to its new end once the count is
// reread; failure injection on every read. (A file cut short under the
// reader is in dbf_view_cut_test.cpp.)
#include <cstring>
#include <string>

#include "platform/kernel/fault.h"
#include "tests/xbase/dbf_lock_peer.h"
#include "tests/xbase/dbf_view_support.h"

namespace kvtest {
namespace {

TEST_F(DbfViewRead, AnotherProcessRewritesAndAppendsAndEveryReadSeesTheNewestBytes) {
  const std::string path = Make(40);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDDOPENX(&h, path.c_str(), XB_OPEN_SHARED), 0);
  // The first reads map the file as it is.
  for (uint32_t r = 1; r <= 40; ++r) ExpectRecord(h, r, "R" + std::to_string(r), r + 0.5);

  // The writer: another process with an engine of its own, which rewrites
  // or appends one record per request and answers with its status and the
  // record number, so that the reader checks each write right after it was
  // made.
  Peer writer;
  ASSERT_TRUE(writer.started());
  ASSERT_EQ(writer.Open(path, XB_OPEN_SHARED).reply.status, 0);

  uint32_t count = 40;
  for (int32_t i = 1; i <= 300; ++i) {
    // Rewrites in the mapped part, and appends that take the file past the
    // view (a new page every few records).
    const bool append = i % 3 == 0;
    const auto put = append ? writer.AppendRecord(i)
                            : writer.Rewrite(static_cast<uint32_t>(1 + (i * 7) % count), i);
    ASSERT_TRUE(put.ok);
    ASSERT_EQ(put.reply.status, 0) << "writer step " << i;
    const uint32_t r = put.reply.value;
    if (append) {
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
  DbfBuilder::WriteFile(path, ViewTable(6).Bytes());
  ASSERT_EQ(XBDDHGET(h), 0);
  ExpectRecord(h, 6, "R6", 6.5);
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

}  // namespace
}  // namespace kvtest
