// A data file cut short by another process while the reader holds a view of
// it, then grown again.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "tests/xbase/dbf_view_support.h"

namespace kvtest {
namespace {

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
    const std::string all = ViewTable(records).Bytes();
    FILE* f = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(all.data(), 1, all.size(), f), all.size());
    std::fclose(f);
  }
  ExpectRecord(h, 100, "R100", 100.5);
  ExpectRecord(h, records, "R" + std::to_string(records), records + 0.5);
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

}  // namespace
}  // namespace kvtest
