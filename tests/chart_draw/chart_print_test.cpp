// Printing: the default printer from win.ini (a PDF file, or a CUPS queue
// through lp, here a fake lp on PATH that records its arguments), the page
// from the device, the 800 x 600 fallback, and everything put back.
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "platform/gdi/printer.h"
#include "platform/kernel/profile.h"
#include "tests/chart_draw/draw_fixture.h"
#include "tests/chart_draw/image_compare.h"

namespace charttest {
namespace {

std::string Shell(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  pclose(pipe);
  return output;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class PrintTest : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    setenv("KV_WINDIR", folder_.c_str(), 1);
    ASSERT_NE(Shell("command -v pdfinfo"), "") << "pdfinfo missing: bash scripts/install-deps.sh";
    MakeChart("sales", 1, {{3, 5, 8, 4}, {2, 6, 1, 7}});
    Ok("grTitle", 2, {T("sales"), T("Sales"), I(1)});
    Ok("grLegend", 0, {T("sales"), I(1)});
  }
};

TEST_F(PrintTest, WithoutAPrinterEntryTheChartGoesToAPdfInTheWindowsDirectory) {
  Ok("grPrint", 0, {T("sales")});
  const std::string pdf = PathOf("kvprint.pdf");
  ASSERT_TRUE(std::filesystem::exists(pdf));
  const std::string info = Shell("pdfinfo " + pdf);
  EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
  EXPECT_NE(info.find("595.2 x 841.92 pts (A4)"), std::string::npos) << info;
  // The print changed nothing the chart keeps.
  const auto& chart = ModelOf("SALES");
  EXPECT_EQ(chart.drawingScale, 1.0);
  EXPECT_EQ(chart.printRect.right, 0);
  EXPECT_EQ(chart.drawing.dc, nullptr);
}

TEST_F(PrintTest, APdfPortFromWinIni) {
  const std::string pdf = PathOf("out/page.pdf");
  std::filesystem::create_directories(PathOf("out"));
  ASSERT_TRUE(kvp::WriteProfileStringA("windows", "device", ("PDF,Writer," + pdf).c_str()));
  Ok("grPrint", 1, {T("sales"), I(10), I(20), I(110), I(100)});
  EXPECT_NE(Shell("pdfinfo " + pdf).find("Pages:           1"), std::string::npos);
}

TEST_F(PrintTest, ACupsQueueIsPrintedThroughLp) {
  // The fake lp keeps its arguments and a copy of the file it was given.
  const std::string bin = PathOf("bin");
  std::filesystem::create_directories(bin);
  {
    std::ofstream lp(bin + "/lp");
    lp << "#!/bin/sh\necho \"$@\" > " << PathOf("lp.args") << "\ncp \"$5\" " << PathOf("lp.pdf")
       << "\n";
  }
  std::filesystem::permissions(bin + "/lp", std::filesystem::perms::owner_all);
  const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  setenv("PATH", (bin + ":" + path).c_str(), 1);
  ASSERT_TRUE(kvp::WriteProfileStringA("windows", "device", "CUPS, Office printer ,office_queue"));
  Ok("grPrint", 0, {T("sales")});
  const std::string args = Slurp(PathOf("lp.args"));
  EXPECT_EQ(args.substr(0, args.find(" /")), "-d office_queue -t SALES") << args;
  EXPECT_NE(Shell("pdfinfo " + PathOf("lp.pdf")).find("Pages:           1"), std::string::npos);
  // The temporary document is gone.
  const std::string file = args.substr(args.find(" /") + 1, args.size() - args.find(" /") - 2);
  EXPECT_FALSE(std::filesystem::exists(file)) << file;

  // An lp that fails is a failed print.
  {
    std::ofstream lp(bin + "/lp");
    lp << "#!/bin/sh\nexit 3\n";
  }
  Fails("grPrint", 0, {T("sales")}, 1, 1);
  setenv("PATH", path.c_str(), 1);
}

TEST_F(PrintTest, ADeviceWithoutAPageSizePrintsOn800By600WithA5PixelMargin) {
  kvp::DEVMODEA mode{kvp::DM_PAPERWIDTH | kvp::DM_PAPERLENGTH | kvp::DM_PRINTQUALITY, 0, 0, 72};
  const std::string pdf = PathOf("zero.pdf");
  kvp::HDC printer = kvp::CreateDCA("PDF", "Zero", pdf.c_str(), &mode);
  ASSERT_NE(printer, nullptr);
  EXPECT_EQ(kvp::GetDeviceCaps(printer, kvp::HORZRES), 0);
  EXPECT_EQ(kvp::GetDeviceCaps(printer, kvp::HORZSIZE), 0);
  auto& chart = const_cast<kv::chart::Chart&>(ModelOf("SALES"));
  chart.ApplySettings();
  // Even a millimetre rectangle is ignored: the device gives no size.
  chart.Print(printer, kv::chart::PrintRect{10, 10, 100, 100});
  EXPECT_EQ(chart.TakeErrorState(), kv::chart::ErrorState::kNone);
  kvp::DeleteDC(printer);
  // 800 x 600 pixels at 72 per inch are 800 x 600 points.
  EXPECT_NE(Shell("pdfinfo " + pdf).find("Page size:       800 x 600 pts"), std::string::npos);
  // Drawn at 72 dpi, a pixel of the page is a pixel of the picture: the ink
  // keeps the 5-pixel margin on the left and top, and the drawing keeps the
  // proportions of the default picture, 637 x 477, scaled to 790 wide.
  Shell("pdftoppm -png -r 72 -singlefile " + pdf + " " + PathOf("zero"));
  const InkBox box = InkBoxOf(PathOf("zero.png"));
  EXPECT_GE(box.left, 5);
  EXPECT_GE(box.top, 5);
  EXPECT_LE(box.right, 795);
  EXPECT_LE(box.bottom, 5 + 477 * 790 / 637 + 1);
  EXPECT_GT(box.right, 700);
}

TEST_F(PrintTest, PrintingBeforeAnyDrawingAndOnAHalfSizedDeviceDividesByNothing) {
  // A paper width but no length: HORZRES > 0, VERTRES 0, VERTSIZE 0.
  kvp::DEVMODEA mode{kvp::DM_PAPERLENGTH, 0, 0, 0};
  const std::string pdf = PathOf("half.pdf");
  kvp::HDC printer = kvp::CreateDCA("PDF", "Half", pdf.c_str(), &mode);
  EXPECT_EQ(kvp::GetDeviceCaps(printer, kvp::VERTSIZE), 0);
  auto& chart = const_cast<kv::chart::Chart&>(ModelOf("SALES"));
  chart.ApplySettings();
  chart.drawing.screenWidth = 0;
  chart.drawing.screenHeight = 0;
  chart.Print(printer, kv::chart::PrintRect{10, 10, 50, 50});
  chart.TakeErrorState();
  EXPECT_EQ(chart.drawingScale, 1.0);
  EXPECT_EQ(chart.printRect.right, 0);
  kvp::DeleteDC(printer);
}

TEST_F(PrintTest, APrinterFileThatCannotBeCreatedIsReported) {
  ASSERT_TRUE(kvp::WriteProfileStringA("windows", "device",
                                       ("PDF,Writer," + PathOf("missing/dir/x.pdf")).c_str()));
  Fails("grPrint", 0, {T("sales")}, 1, 1);
  const auto& chart = ModelOf("SALES");
  EXPECT_EQ(chart.drawingScale, 1.0);
}

}  // namespace
}  // namespace charttest
