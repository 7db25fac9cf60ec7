// kv_file_writer DIR: writes a fixed set of files through the engine's
// exports: data files (created, filled, updated, with records deleted and
// packed), memo files of the three layouts (packed too) and indexes of the
// four families (bulk built, then changed key by key). Built for Linux and
// for Windows from this one source, so that a test can run both and compare
// the files byte for byte. Prints the names it wrote; exits 1 at the first
// call that fails.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "kv/xbase.h"

namespace {

// Files are named relative to DIR, the current directory: a memo file's
// header keeps the first characters of the name it was created with, which
// must be the same on both targets.
std::string Path(const char* name) {
  return name;
}

void Check(XBSTATUS status, const char* call, int line) {
  if (status >= 0) return;
  std::fprintf(stderr, "kv_file_writer: line %d: %s returned %d\n", line, call, status);
  std::exit(1);
}
#define CHECK(call) Check((call), #call, __LINE__)

XBFIELDDEF Def(const char* name, char type, uint16_t length, uint16_t decimals = 0) {
  XBFIELDDEF d{};
  std::snprintf(d.name, sizeof d.name, "%s", name);
  d.type = static_cast<uint16_t>(type);
  d.length = length;
  d.decimals = decimals;
  return d;
}

enum Field : uint16_t { kName, kWhen, kAmount, kCount, kOk, kNote, kWide };

// A data file of `rows` records whose memo field points into `memo` (a memo
// handle of the family `putMemo` writes), with every field type set.
template <class PutMemo>
XBHANDLE WriteData(const char* name, uint16_t variant, int rows, PutMemo putMemo) {
  XBFIELDDEF defs[] = {Def("NAME", 'C', 6),    Def("WHEN", 'D', 8), Def("AMOUNT", 'N', 9, 2),
                       Def("COUNT", 'N', 4),   Def("OK", 'L', 1),   Def("NOTE", 'M', 10),
                       Def("WIDE", 'F', 14, 5)};
  CHECK(XBDDCREATE(Path(name).c_str(), 7, defs, variant));
  XBHANDLE h = XB_NO_HANDLE;
  CHECK(XBDDOPENX(&h, Path(name).c_str(), variant));
  for (int i = 0; i < rows; ++i) {
    // Names out of order and repeated, so that the indexes have work to do.
    char text[64];
    std::snprintf(text, sizeof text, "K%03d", (i * 37) % 23);
    CHECK(XBDDFPUTS(h, kName, text));
    std::snprintf(text, sizeof text, "%04d%02d%02d", 1990 + i % 30, 1 + i % 12, 1 + (i * 7) % 28);
    CHECK(XBDDFPUTS(h, kWhen, text));
    const double amount = (i * 1234.5) / 7.0 - 300.0;
    CHECK(XBDDFPUT(h, kAmount, &amount));
    const double count = i * 3;
    CHECK(XBDDFPUT(h, kCount, &count));
    const char ok = (i % 3 == 0) ? 'T' : 'F';
    CHECK(XBDDFPUT(h, kOk, &ok));
    uint32_t block = putMemo(i);
    CHECK(XBDDFPUT(h, kNote, &block));
    const double wide = 1.0 / (i + 1);
    CHECK(XBDDFPUT(h, kWide, &wide));
    uint32_t record = 0;
    CHECK(XBDDRPUT(h, &record, XB_PUT_APPEND));
  }
  // One record rewritten in place.
  CHECK(XBDDRGET(h, 2));
  CHECK(XBDDFPUTS(h, kName, "CHANGE"));
  uint32_t second = 2;
  CHECK(XBDDRPUT(h, &second, XB_PUT_UPDATE));
  return h;
}

std::string MemoText(int i) {
  std::string text = "memo " + std::to_string(i) + ":";
  for (int k = 0; k < (i * 53) % 700; ++k) text += static_cast<char>('a' + (k * i) % 26);
  if (i % 4 == 0) text += "\r\nsecond line\r\n";
  return text;
}

void DeleteEveryThird(XBHANDLE h, int rows) {
  for (int r = 3; r <= rows; r += 3) CHECK(XBDDRDEL(h, static_cast<uint32_t>(r)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kv_file_writer DIR\n");
    return 2;
  }
  std::error_code error;
  std::filesystem::current_path(argv[1], error);
  if (error) {
    std::fprintf(stderr, "kv_file_writer: cannot enter %s\n", argv[1]);
    return 2;
  }
  CHECK(XBDINIT(100, 4));
  constexpr int kRows = 60;

  // dBASE memo, plain layout: the data file with memos, then both packed.
  CHECK(XBDTCREATE(Path("plain.dbt").c_str()));
  XBHANDLE dbt = XB_NO_HANDLE;
  CHECK(XBDTOPENX(&dbt, Path("plain.dbt").c_str(), 0));
  XBHANDLE data = WriteData("plain.dbf", 2, kRows, [&](int i) {
    uint32_t block = 0;
    CHECK(XBDTRPUT(dbt, &block, MemoText(i).c_str(), XB_MEMO_NEW));
    return block;
  });
  uint32_t rewritten = 1;
  CHECK(XBDTRPUT(dbt, &rewritten, MemoText(999).c_str(), XB_MEMO_REWRITE));
  DeleteEveryThird(data, kRows);
  CHECK(XBDDPACK(&data));
  CHECK(XBDTPACK(data, &dbt));

  // The four index families over the packed file: bulk builds, then one
  // key added and one deleted by hand.
  CHECK(XBDNINDEX(data, Path("name.ndx").c_str(), 'C', "NAME", 6));
  CHECK(XBDNINDEX(data, Path("when.ndx").c_str(), 'D', "WHEN", 8));
  CHECK(XBDIINDEX(data, Path("name.idx").c_str(), 'C', "NAME", 6));
  CHECK(XBDIINDEX(data, Path("cname.idx").c_str(), 'C' | XB_IDX_COMPACT, "NAME", 6));
  CHECK(XBDCINDEX(data, Path("name.ntx").c_str(), 'C', "NAME", 6, 0));
  CHECK(XBDMCREATE(Path("data.mdx").c_str(), 2));
  XBHANDLE mdx = XB_NO_HANDLE;
  CHECK(XBDMOPENX(&mdx, Path("data.mdx").c_str(), 0));
  CHECK(XBDMTINDEX(data, mdx, "NAME", 'C', "NAME", 6));
  CHECK(XBDMTINDEX(data, mdx, "WHEN", 'D', "WHEN", 8));
  CHECK(XBDMCLOSE(mdx));

  XBHANDLE ndx = XB_NO_HANDLE;
  CHECK(XBDNOPENX(&ndx, Path("name.ndx").c_str(), 0));
  XBHANDLE ntx = XB_NO_HANDLE;
  CHECK(XBDCOPENX(&ntx, Path("name.ntx").c_str(), 0));
  XBHANDLE idx = XB_NO_HANDLE;
  CHECK(XBDIOPENX(&idx, Path("cname.idx").c_str(), 0));
  CHECK(XBDNKADD(ndx, "ADDED ", 7));
  CHECK(XBDNKDEL(ndx, "K000  ", 1));
  CHECK(XBDCKADD(ntx, "ADDED ", 7));
  CHECK(XBDIKADD(idx, "ADDED ", 7));
  CHECK(XBDNCLOSE(ndx));
  CHECK(XBDCCLOSE(ntx));
  CHECK(XBDICLOSE(idx));
  CHECK(XBDDCLOSE(data));
  CHECK(XBDTCLOSE(dbt));

  // dBASE memo with a block size of its own (variant 2), and FoxPro memo.
  CHECK(XBDTCREATEX(Path("sized.dbt").c_str(), 2, 2));
  XBHANDLE sized = XB_NO_HANDLE;
  CHECK(XBDTOPENX(&sized, Path("sized.dbt").c_str(), 2));
  XBHANDLE sizedData = WriteData("sized.dbf", 4, kRows / 2, [&](int i) {
    uint32_t block = 0;
    CHECK(XBDTRPUT(sized, &block, MemoText(i + 7).c_str(), XB_MEMO_NEW));
    return block;
  });
  CHECK(XBDDCLOSE(sizedData));
  CHECK(XBDTCLOSE(sized));

  CHECK(XBDWCREATE(Path("notes.fpt").c_str(), 64));
  XBHANDLE fpt = XB_NO_HANDLE;
  CHECK(XBDWOPENX(&fpt, Path("notes.fpt").c_str(), 0));
  XBHANDLE foxData = WriteData("fox.dbf", 8, kRows / 2, [&](int i) {
    uint32_t block = 0;
    CHECK(XBDWRPUT(fpt, &block, MemoText(i + 3).c_str(), XB_MEMO_NEW));
    return block;
  });
  DeleteEveryThird(foxData, kRows / 2);
  CHECK(XBDWPACK(foxData, &fpt));
  CHECK(XBDDCLOSE(foxData));
  CHECK(XBDWCLOSE(fpt));

  CHECK(XBDTERM());
  std::printf("written to %s\n", argv[1]);
  return 0;
}
