#include "host/dbf_write_demo.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "host/cp1252.h"

namespace kvhost {
namespace {

struct Row {
  const char* name;  // Windows-1252, as the engine stores texts
  double amount;
  const char* since;  // dd/mm/yyyy (French style, as the demo runs)
  uint8_t active;
};

const Row kRows[] = {
    {"Atelier Dupont", 1250.75, "14/03/1994", 'T'},  {"Brasserie Nord", -89.5, "01/02/2001", 'F'},
    {"Caf\xE9 Lumi\xE8re", 42.0, "29/02/1996", 'T'}, {"Delta Tissus", 310.25, "", 'T'},
    {"Epicerie Fine", 7.125, "31/12/1999", 'F'},
};

// Prints every record of the open file: number, flag and fields as text.
void PrintFile(const XbaseBinding& xb, XBHANDLE h, const char* title) {
  uint32_t count = 0;
  xb.XBDDSIZE(h, &count);
  std::printf("%s: records %u\n", title, count);
  for (uint32_t r = 1; r <= count; ++r) {
    const XBSTATUS s = xb.XBDDRGET(h, r);
    char name[32] = {}, amount[32] = {}, since[32] = {}, active[4] = {};
    xb.XBDDFGETS(h, 0, name);
    xb.XBDDFGETS(h, 1, amount);
    xb.XBDDFGET(h, 2, since);
    xb.XBDDFGETS(h, 3, active);
    std::printf("  %2u %c %s|%s|%s|%s\n", r, s == XB_DELETED ? '*' : ' ',
                Cp1252ToUtf8(name).c_str(), amount, since, active);
  }
}

}  // namespace

int ShowDataFileWriting(const XbaseBinding& xb) {
  std::string pattern = (std::filesystem::temp_directory_path() / "kvhost-write-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const std::filesystem::path dir = pattern;
  const std::string path = (dir / "CLIENTS.DBF").string();
  int failures = 0;
  auto check = [&](XBSTATUS s, const char* what) {
    if (s < 0) {
      std::printf("  %s failed: status %d\n", what, s);
      xb.XBESCODE(0);
      ++failures;
    }
    return s;
  };

  xb.XBCDSTYLE(11);  // French, dd/mm/yyyy
  XBFIELDDEF defs[4] = {
      {"name", 'C', 16, 0}, {"amount", 'N', 9, 2}, {"since", 'D', 8, 0}, {"active", 'L', 1, 0}};
  std::printf("Writing CLIENTS.DBF (dBASE III) with XBDDCREATE, XBDDFPUT and XBDDRPUT:\n");
  check(xb.XBDDCREATE(path.c_str(), 4, defs, 1), "XBDDCREATE");
  XBHANDLE h = XB_NO_HANDLE;
  if (check(xb.XBDDOPENX(&h, path.c_str(), 1), "XBDDOPENX") < 0) return 1;
  for (const Row& row : kRows) {
    check(xb.XBDDFPUT(h, 0, row.name), "XBDDFPUT name");
    check(xb.XBDDFPUT(h, 1, &row.amount), "XBDDFPUT amount");
    check(xb.XBDDFPUT(h, 2, row.since), "XBDDFPUT since");
    check(xb.XBDDFPUT(h, 3, &row.active), "XBDDFPUT active");
    uint32_t no = 0;
    check(xb.XBDDRPUT(h, &no, XB_PUT_APPEND), "XBDDRPUT append");
  }
  // A value too wide for N(9,2) is refused and leaves the field alone.
  const double tooWide = -1000000.0;
  std::printf("  -1000000.00 into AMOUNT N(9,2): status %d\n", xb.XBDDFPUT(h, 1, &tooWide));
  xb.XBESCODE(0);
  PrintFile(xb, h, "after 5 appends");

  // Update record 2, delete records 1 and 4.
  check(xb.XBDDRGET(h, 2), "XBDDRGET");
  const double paid = 0.0;
  check(xb.XBDDFPUT(h, 1, &paid), "XBDDFPUT");
  uint32_t two = 2;
  check(xb.XBDDRPUT(h, &two, XB_PUT_UPDATE), "XBDDRPUT update");
  check(xb.XBDDRDEL(h, 1), "XBDDRDEL");
  check(xb.XBDDRDEL(h, 4), "XBDDRDEL");
  PrintFile(xb, h, "record 2 updated, 1 and 4 deleted");

  check(xb.XBDDPACK(&h), "XBDDPACK");
  PrintFile(xb, h, "after XBDDPACK");
  std::printf("  backup CLIENTS.BAK: %s\n",
              std::filesystem::exists(dir / "CLIENTS.BAK") ? "present" : "missing");
  check(xb.XBDDCLOSE(h), "XBDDCLOSE");
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return failures == 0 ? 0 : 1;
}

}  // namespace kvhost
