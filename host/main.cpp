// kvhost: the stand-in host. It loads the libraries with the platform's
// module loader, as the real host does, and drives them: the demo, tools for
// people, and the harness that tests use.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/chart_demo.h"
#include "host/chart_render.h"
#include "host/comm_demo.h"
#include "host/cp1252.h"
#include "host/dbf_dump.h"
#include "host/dbf_write_demo.h"
#include "host/desktop_demo.h"
#include "host/image_command.h"
#include "host/index_build_demo.h"
#include "host/index_command.h"
#include "host/lock_demo.h"
#include "host/mail_command.h"
#include "host/ndx_demo.h"
#include "host/net_command.h"
#include "host/odbc_command.h"
#include "host/rpc_command.h"
#include "host/samples_dir.h"
#include "host/serial_command.h"
#include "host/xbase_binding.h"
#include "platform/ui/ui_backend.h"

namespace {

void Usage() {
  std::fprintf(
      stderr,
      "usage:\n"
      "  kvhost demo [--ui gtk|headless]  the five libraries at work\n"
      "  kvhost xbase demo                start the engine, show a sample file and dates\n"
      "  kvhost chart demo                build a chart through kvchart's language functions\n"
      "  kvhost comm demo                 servers, transfers, mail and a port through kvcomm\n"
      "  kvhost dbf dump FILE [options]   print a data file's structure and records\n"
      "options of dbf dump:\n"
      "  --variant N    open as format variant N (1..9; default 1)\n"
      "  --style N      show dates in date style N (1..15)\n"
      "  --max N        print at most N records\n"
      "options of demo:\n"
      "  --ui NAME      show the windows on the desktop (gtk) or on no screen\n"
      "                 (headless); sets KV_UI\n");
  std::fprintf(stderr, "%s", kvhost::IndexUsage());
  std::fprintf(stderr, "%s", kvhost::NetUsage());
  std::fprintf(stderr, "%s", kvhost::OdbcUsage());
  std::fprintf(stderr, "%s%s", kvhost::SerialUsage(), kvhost::MailUsage());
  std::fprintf(stderr, "%s", kvhost::ChartRenderUsage());
  std::fprintf(stderr, "%s", kvhost::ImageUsage());
  std::fprintf(stderr, "%s", kvhost::RpcUsage());
}

bool StartEngine(kvhost::XbaseBinding& xb) {
  std::string error;
  if (!xb.Load(error)) {
    std::fprintf(stderr, "kvhost: %s\n", error.c_str());
    return false;
  }
  if (xb.KV5InitInstance(0, 0) != 1) {
    std::fprintf(stderr, "kvhost: the engine did not start\n");
    return false;
  }
  return true;
}

int DumpCommand(int argc, char** argv) {
  if (argc < 1) {
    Usage();
    return 2;
  }
  const char* path = argv[0];
  kvhost::DumpOptions options;
  for (int i = 1; i < argc; ++i) {
    auto number = [&](long lo, long hi, long& out) {
      if (i + 1 >= argc) return false;
      char* end = nullptr;
      out = std::strtol(argv[++i], &end, 10);
      return *end == '\0' && out >= lo && out <= hi;
    };
    long v = 0;
    if (std::strcmp(argv[i], "--variant") == 0 && number(1, 9, v)) {
      options.variant = static_cast<int>(v);
    } else if (std::strcmp(argv[i], "--style") == 0 && number(1, 15, v)) {
      options.dateStyle = static_cast<int>(v);
    } else if (std::strcmp(argv[i], "--max") == 0 && number(0, 2147483647L, v)) {
      options.maxRecords = v;
    } else {
      Usage();
      return 2;
    }
  }
  kvhost::XbaseBinding xb;
  if (!StartEngine(xb)) return 1;
  const int status = kvhost::DumpDbf(xb, path, options, stdout);
  xb.XBDTERM();
  xb.Unload();
  return status == 0 ? 0 : 1;
}

void ShowDates(const kvhost::XbaseBinding& xb) {
  const char* date = "19960229";  // a leap day, as stored in a data file
  std::printf("The stored date %s in each date style:\n", date);
  for (int16_t style = 1; style <= 15; ++style) {
    char text[16] = {};
    char description[64] = {};
    int16_t current = 0;
    xb.XBCDSTYLE(style);
    xb.XBCDGSTYLE(&current, description);
    xb.XBCDS2S(text, style, date, 4);
    std::printf("  %2d  %-24s %s\n", style, description, text);
  }
  int32_t dayNumber = 0;
  char weekday[16] = {};
  xb.XBCDS2LX(&dayNumber, date, 4);
  xb.XBCDS2DAY(weekday, date, 4);
  std::printf("  day number %d, a %s\n", dayNumber, weekday);
  xb.XBCDSTYLE(1);
}

// Evaluates key expressions on one record of the sample, as an index would.
void ShowExpressions(const kvhost::XbaseBinding& xb, const std::string& sample) {
  XBHANDLE h = XB_NO_HANDLE;
  if (xb.XBDDOPENX(&h, sample.c_str(), XB_OPEN_READONLY | XB_OPEN_SHARED | 1) < 0 ||
      xb.XBDDRGET(h, 4) < 0) {
    xb.XBESCODE(0);
    return;
  }
  std::printf("Key expressions on record 4:\n");
  const char* const expressions[] = {"NAME",
                                     "DTOS(SINCE)+STR(CUSTNO,5)",
                                     "LEFT(CITY,3)+SUBSTR(COUNTRY,1,3)",
                                     "SUBSTR(NAME,6,8)+DTOC(SINCE)",
                                     "BALANCE+100",
                                     "STR(BALANCE,8,2)"};
  for (const char* text : expressions) {
    char expression[64];
    std::snprintf(expression, sizeof expression, "%s", text);
    XBEVALRESULT result{};
    const XBSTATUS s = xb.XBDXEVAL(h, expression, &result);
    if (s < 0) {
      std::printf("  %-32s refused (status %d)\n", text, s);
      xb.XBESCODE(0);
      continue;
    }
    void* const value = result.value;
    if (result.type == 'N' || result.type == 'F') {
      double number = 0;
      std::memcpy(&number, value, sizeof number);
      std::printf("  %-32s %c  %g\n", text, static_cast<char>(result.type), number);
    } else {
      std::printf("  %-32s %c  \"%s\"\n", text, static_cast<char>(result.type),
                  kvhost::Cp1252ToUtf8(static_cast<const char*>(value)).c_str());
    }
    xb.XBMFREE(value);
  }
  xb.XBDDCLOSE(h);
}

int XbaseDemoCommand() {
  kvhost::XbaseBinding xb;
  if (!StartEngine(xb)) return 1;
  const std::string sample = kvhost::SamplesDirectory() + "/customers.dbf";
  std::printf("== kvxbase started through KV5InitInstance ==\n\n");
  kvhost::DumpOptions options;
  options.dateStyle = 11;  // French (dd/mm/yyyy)
  const int status = kvhost::DumpDbf(xb, sample.c_str(), options, stdout);
  std::printf("\n");
  ShowExpressions(xb, sample);
  std::printf("\n");
  kvhost::ShowIndex(xb, sample);
  std::printf("\n");
  const int builds = kvhost::ShowIndexBuilds(xb, sample);
  std::printf("\n");
  ShowDates(xb);
  std::printf("\n");
  const int locks = kvhost::ShowRecordLocks(xb, sample);
  std::printf("\n");
  const int writing = kvhost::ShowDataFileWriting(xb);
  xb.XBDTERM();
  xb.Unload();
  return status == 0 && builds == 0 && locks == 0 && writing == 0 ? 0 : 1;
}

int RunChartDemoCommand() {
  std::fflush(stdout);
  return kvhost::RunChartDemo();
}

// kvhost demo --ui NAME: the backend is chosen at the first window, so the
// variable is set before anything else runs.
bool TakeDemoOptions(int argc, char** argv) {
  if (argc == 2) return true;
  if (argc != 4 || std::strcmp(argv[2], "--ui") != 0) return false;
  if (std::strcmp(argv[3], "gtk") != 0 && std::strcmp(argv[3], "headless") != 0) return false;
  setenv("KV_UI", argv[3], 1);
  return true;
}

// On a desktop the charts and the wait window are shown for real and the
// user drives them; the rest is as without one.
int DesktopDemoCommand() {
  const int xbase = XbaseDemoCommand();
  std::printf("\n");
  std::fflush(stdout);
  const int desktop = kvhost::RunDesktopDemo();
  std::printf("\n");
  std::fflush(stdout);
  const int odbc = kvhost::RunOdbcDemo();
  std::printf("\n");
  std::fflush(stdout);
  const int comm = kvhost::CommDemoCommand();
  return desktop != 0 || odbc != 0 || comm != 0 ? 1 : xbase;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "demo") == 0) {
    if (!TakeDemoOptions(argc, argv)) {
      Usage();
      return 2;
    }
    if (std::strcmp(kvp::UiBackendName(), "gtk") == 0) return DesktopDemoCommand();
    const int xbase = XbaseDemoCommand();
    std::printf("\n");
    const int chart = RunChartDemoCommand();
    std::printf("\n");
    std::fflush(stdout);
    const int odbc = kvhost::RunOdbcDemo();
    std::printf("\n");
    std::fflush(stdout);
    char imageDemo[] = "demo";
    char* imageArguments[] = {imageDemo};
    const int image = kvhost::ImageCommand(1, imageArguments);
    std::printf("\n");
    std::fflush(stdout);
    const int comm = kvhost::CommDemoCommand();
    return chart != 0 || odbc != 0 || image != 0 || comm != 0 ? 1 : xbase;
  }
  if (argc >= 3 && std::strcmp(argv[2], "demo") == 0) {
    if (std::strcmp(argv[1], "xbase") == 0) return XbaseDemoCommand();
    if (std::strcmp(argv[1], "chart") == 0) return RunChartDemoCommand();
    if (std::strcmp(argv[1], "comm") == 0) return kvhost::CommDemoCommand();
  }
  if (argc >= 3 && std::strcmp(argv[1], "dbf") == 0 && std::strcmp(argv[2], "dump") == 0)
    return DumpCommand(argc - 3, argv + 3);
  if (argc >= 2 && std::strcmp(argv[1], "index") == 0)
    return kvhost::IndexCommand(argc - 2, argv + 2);
  if (argc >= 2 && std::strcmp(argv[1], "net") == 0) return kvhost::NetCommand(argc - 2, argv + 2);
  if (argc >= 2 && std::strcmp(argv[1], "odbc") == 0)
    return kvhost::OdbcCommand(argc - 2, argv + 2);
  if (argc >= 2 && std::strcmp(argv[1], "serial") == 0)
    return kvhost::SerialCommand(argc - 2, argv + 2);
  if (argc >= 2 && std::strcmp(argv[1], "mail") == 0)
    return kvhost::MailCommand(argc - 2, argv + 2);
  if (argc >= 3 && std::strcmp(argv[1], "chart") == 0 && std::strcmp(argv[2], "render") == 0)
    return kvhost::ChartRenderCommand(argc - 3, argv + 3);
  if (argc >= 2 && std::strcmp(argv[1], "image") == 0)
    return kvhost::ImageCommand(argc - 2, argv + 2);
  if (argc >= 2 && std::strcmp(argv[1], "rpc") == 0) return kvhost::RpcCommand(argc - 2, argv + 2);
  Usage();
  return 2;
}
