#include "host/dbf_dump.h"

#include <cstring>
#include <string>
#include <vector>

#include "host/cp1252.h"

namespace kvhost {
namespace {

std::string Trimmed(const char* text) {
  std::string s(text);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// One field of the current record as a person reads it.
std::string FieldText(const XbaseBinding& xb, XBHANDLE h, uint16_t n, const XBFIELDDEF& f) {
  std::vector<char> buffer(size_t{f.length} + 64, '\0');
  switch (f.type) {
    case 'D':
    case 'L':
    case 'M':
    case 'N':
    case 'F':
      break;
    default:
      xb.XBDDFGETS(h, n, buffer.data());
      return Trimmed(buffer.data());
  }
  if (f.type == 'L') {
    unsigned char b = '?';
    xb.XBDDFGET(h, n, &b);
    return b == 1 ? "T" : b == 0 ? "F" : "?";
  }
  if (f.type == 'D') {
    if (xb.XBDDFGET(h, n, buffer.data()) < 0) {
      xb.XBESCODE(0);
      return "<bad date>";
    }
    return buffer.data();
  }
  // Numbers and memo block numbers: the stored text, trimmed on the left.
  xb.XBDDFGETS(h, n, buffer.data());
  std::string s = Trimmed(buffer.data());
  return s.substr(s.find_first_not_of(' ') == std::string::npos ? s.size()
                                                                : s.find_first_not_of(' '));
}

}  // namespace

int DumpDbf(const XbaseBinding& xb, const char* path, const DumpOptions& options,
            std::FILE* out) {
  XBHANDLE h = XB_NO_HANDLE;
  XBSTATUS s = xb.XBDDOPENX(&h, path, static_cast<uint16_t>(options.variant | XB_OPEN_READONLY |
                                                            XB_OPEN_SHARED));
  if (s < 0) {
    std::fprintf(out, "%s: cannot open (status %d)\n", path, s);
    xb.XBESCODE(0);
    return s;
  }
  if (s == XB_BAD_LENGTH) {
    std::fprintf(out, "warning: the file's length does not match its header (status 7)\n");
  }
  if (options.dateStyle > 0) xb.XBCDSTYLE(static_cast<int16_t>(options.dateStyle));
  int16_t style = 1;
  char description[64] = {};
  xb.XBCDGSTYLE(&style, description);

  XBFILEINFO info;
  xb.XBDDINFO(h, &info);
  uint32_t count = 0;
  xb.XBDDSIZE(h, &count);
  char updated[16] = {};
  if (xb.XBDDLUD(h, updated, style) < 0) {
    xb.XBESCODE(0);
    std::strcpy(updated, "(invalid)");
  }
  XBRECINFO record;
  xb.XBDDRINFO(h, &record);
  const int fieldCount = record.fieldCount;
  std::vector<XBFIELDDEF> fields(fieldCount > 0 ? fieldCount : 1);
  uint16_t longest = 0;
  xb.XBDDFINFO(h, &longest, fields.data());

  std::fprintf(out, "file         %s\n", path);
  std::fprintf(out, "variant      %u%s\n", info.variant, info.hasMemo ? " (with memo fields)" : "");
  std::fprintf(out, "records      %u\n", count);
  std::fprintf(out, "last update  %s  [%s]\n", updated, description);
  std::fprintf(out, "fields       %d\n", fieldCount);
  for (int i = 0; i < fieldCount; ++i) {
    const XBFIELDDEF& f = fields[i];
    std::fprintf(out, "  %-11s %c %5u %2u\n", f.name, static_cast<char>(f.type), f.length,
                 f.decimals);
  }
  std::fprintf(out, "\n");
  const uint32_t limit = options.maxRecords < 0 ? count : static_cast<uint32_t>(options.maxRecords);
  for (uint32_t r = 1; r <= count && r <= limit; ++r) {
    s = xb.XBDDRGET(h, r);
    if (s < 0) {
      std::fprintf(out, "record %u: read failed (status %d)\n", r, s);
      xb.XBESCODE(0);
      break;
    }
    std::fprintf(out, "%6u%s", r, s == XB_DELETED ? " *" : "  ");
    for (int i = 0; i < fieldCount; ++i) {
      const std::string text = FieldText(xb, h, static_cast<uint16_t>(i), fields[i]);
      std::fprintf(out, "%s%s", i ? " | " : "", Cp1252ToUtf8(text).c_str());
    }
    std::fprintf(out, "\n");
  }
  xb.XBDDCLOSE(h);
  return 0;
}

}  // namespace kvhost
