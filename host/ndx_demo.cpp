#include "host/ndx_demo.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "host/cp1252.h"

namespace kvhost {
namespace {

constexpr uint16_t kKeyLength = 12;

void PrintEntry(const char* label, XBSTATUS status, const char* key, uint32_t record) {
  std::printf("  %-22s status %d  record %2u  \"%s\"\n", label, status, record,
              Cp1252ToUtf8(key).c_str());
}

}  // namespace

void ShowIndex(const XbaseBinding& xb, const std::string& sample) {
  std::error_code ignored;
  std::string pattern = (std::filesystem::temp_directory_path() / "kvhost-demo-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return;
  const std::filesystem::path dir = pattern;
  const std::string index = (dir / "names.ndx").string();

  XBHANDLE data = XB_NO_HANDLE;
  XBHANDLE ndx = XB_NO_HANDLE;
  if (xb.XBDDOPENX(&data, sample.c_str(), XB_OPEN_READONLY | XB_OPEN_SHARED | 1) < 0 ||
      xb.XBDNCREATE(index.c_str(), 'C', "LEFT(NAME,12)", kKeyLength) < 0 ||
      xb.XBDNOPENX(&ndx, index.c_str(), 0) < 0) {
    std::printf("index demo: cannot start (status %d)\n", xb.XBESCODE(0));
    std::filesystem::remove_all(dir, ignored);
    return;
  }
  std::printf("Index names.ndx on LEFT(NAME,12), built key by key with XBDNKMAKE + XBDNKADD:\n");
  uint32_t count = 0;
  xb.XBDDSIZE(data, &count);
  for (uint32_t r = 1; r <= count; ++r) {
    void* key = nullptr;
    if (xb.XBDDRGET(data, r) < 0 || xb.XBDNKMAKE(data, ndx, &key) < 0 ||
        xb.XBDNKADD(ndx, key, r) < 0) {
      std::printf("  record %u: status %d\n", r, xb.XBESCODE(0));
    }
    if (key != nullptr) xb.XBMFREE(key);
  }

  char key[kKeyLength + 1] = {};
  uint32_t record = 0;
  std::snprintf(key, sizeof key, "%s", "Rossi");
  XBSTATUS s = xb.XBDNKFIND(ndx, key, &record, 0);
  PrintEntry("find \"Rossi\"", s, key, record);
  std::snprintf(key, sizeof key, "%s", "Q");
  s = xb.XBDNKFIND(ndx, key, &record, 0);
  PrintEntry("find \"Q\" (not there)", s, key, record);

  std::printf("  forwards:\n");
  for (s = xb.XBDNKTOP(ndx, key, &record); s == 0; s = xb.XBDNKNEXT(ndx, key, &record))
    PrintEntry("", s, key, record);
  std::printf("  backwards from the end (three keys):\n");
  s = xb.XBDNKBOT(ndx, key, &record);
  for (int i = 0; i < 3 && s == 0; ++i, s = xb.XBDNKPREV(ndx, key, &record))
    PrintEntry("", s, key, record);

  xb.XBDNCLOSE(ndx);
  xb.XBDDCLOSE(data);
  xb.XBESCODE(0);
  std::filesystem::remove_all(dir, ignored);
}

}  // namespace kvhost
