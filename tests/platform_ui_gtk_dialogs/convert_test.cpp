// What the dialogs exchange with the Windows records, without a screen:
// fonts, colours, texts and printers.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "platform/kernel/profile.h"
#include "platform/ui/gtk/gtk_dialogs_convert.h"
#include "platform/ui/gtk/gtk_print_dialog.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace kvp;
using namespace kvp::detail::gtk;

LOGFONTA Font(LONG height, LONG weight, BYTE italic, const char* face) {
  LOGFONTA font{};
  font.lfHeight = height;
  font.lfWeight = weight;
  font.lfItalic = italic;
  std::strncpy(font.lfFaceName, face, LF_FACESIZE - 1);
  return font;
}

LOGFONTA RoundTrip(const LOGFONTA& font, int* tenths = nullptr) {
  PangoFontDescription* description = DescribeLogFont(font);
  LOGFONTA back = font;
  const int size = FillLogFont(description, &back);
  pango_font_description_free(description);
  if (tenths != nullptr) *tenths = size;
  return back;
}

TEST(FontConversion, SizesWeightsAndSlantSurviveTheDialog) {
  int tenths = 0;
  LOGFONTA back = RoundTrip(Font(-16, FW_BOLD, 0, "Liberation Sans"), &tenths);
  EXPECT_EQ(back.lfHeight, -16);
  EXPECT_EQ(tenths, 120);
  EXPECT_EQ(back.lfWeight, FW_BOLD);
  EXPECT_STREQ(back.lfFaceName, "Liberation Sans");
  // A cell height (positive) comes back as a character height.
  back = RoundTrip(Font(21, 300, 1, "DejaVu Serif"), &tenths);
  EXPECT_EQ(back.lfHeight, -21);
  EXPECT_EQ(tenths, 158);
  EXPECT_EQ(back.lfWeight, 300);
  EXPECT_EQ(back.lfItalic, 1);
  // No height and no weight: the dialog's 10 points, normal weight.
  back = RoundTrip(Font(0, FW_DONTCARE, 0, "Sans"), &tenths);
  EXPECT_EQ(tenths, 100);
  EXPECT_EQ(back.lfHeight, -13);
  EXPECT_EQ(back.lfWeight, FW_NORMAL);
}

TEST(FontConversion, HostileHeightsAndFacesStayBounded) {
  int tenths = 0;
  LOGFONTA back = RoundTrip(Font(INT_MIN, 5000, 0, "X"), &tenths);
  EXPECT_EQ(tenths, 10000) << "capped at 1000 points";
  EXPECT_EQ(back.lfHeight, -1333);
  EXPECT_EQ(back.lfWeight, 1000);
  // A face filling all 32 bytes, with no zero: read as 32 characters, given
  // back as 31 and a zero.
  LOGFONTA full{};
  std::memset(full.lfFaceName, 'A', LF_FACESIZE);
  full.lfHeight = -12;
  back = RoundTrip(full);
  EXPECT_EQ(back.lfFaceName[LF_FACESIZE - 1], 0);
  EXPECT_EQ(std::strlen(back.lfFaceName), static_cast<size_t>(LF_FACESIZE - 1));
  // An absolute size is in pixels.
  PangoFontDescription* pixels = pango_font_description_from_string("Sans");
  pango_font_description_set_absolute_size(pixels, 32 * PANGO_SCALE);
  LOGFONTA fromPixels{};
  EXPECT_EQ(FillLogFont(pixels, &fromPixels), 240);
  EXPECT_EQ(fromPixels.lfHeight, -32);
  pango_font_description_free(pixels);
}

TEST(TextConversion, Windows1252AndUtf8BothWays) {
  EXPECT_EQ(ToUtf8("\xe9t\xe9 \x80 \x9c"), "\xc3\xa9t\xc3\xa9 \xe2\x82\xac \xc5\x93");
  EXPECT_EQ(ToUtf8("\x81"), "\xef\xbf\xbd") << "an unassigned byte";
  EXPECT_EQ(ToUtf8(nullptr), "");
  EXPECT_EQ(FromUtf8("\xc3\xa9t\xc3\xa9 \xe2\x82\xac \xc5\x93"), "\xe9t\xe9 \x80 \x9c");
  EXPECT_EQ(FromUtf8("\xe4\xb8\xad"), "?") << "a character the code page lacks";
  EXPECT_EQ(FromUtf8("a\xc3"), "a?") << "a cut sequence";
  EXPECT_EQ(FromUtf8("\xff\xfe"), "??");
}

TEST(ColourConversion, ChannelsKeepTheirPlaces) {
  for (COLORREF colour : {RGB(0, 0, 0), RGB(255, 255, 255), RGB(200, 0, 30), RGB(1, 2, 3)}) {
    const GdkRGBA rgba = ToRgba(colour);
    EXPECT_EQ(FromRgba(rgba), colour);
  }
  EXPECT_DOUBLE_EQ(ToRgba(RGB(255, 0, 0)).red, 1.0);
  EXPECT_DOUBLE_EQ(ToRgba(RGB(255, 0, 0)).blue, 0.0);
  GdkRGBA outside{1.5, -0.5, 0.5, 1.0};
  EXPECT_EQ(FromRgba(outside), RGB(255, 0, 128));
}

TEST(PrinterChoice, PortsOfTheFilePrinterAndOfQueues) {
  EXPECT_EQ(PortOfPrinter(true, "Print to File", "file:///tmp/a%20b.pdf"), "/tmp/a b.pdf");
  EXPECT_EQ(PortOfPrinter(true, "Print to File", "http://example.invalid/x.pdf"), "")
      << "only a local file";
  EXPECT_EQ(PortOfPrinter(true, "Print to File", nullptr), "");
  EXPECT_EQ(PortOfPrinter(false, "office", "file:///tmp/x.pdf"), "office");
}

TEST(PrinterChoice, TheProfilesDefaultPrinterIsWhereTheDialogStarts) {
  kvtest::TempDir dir;
  const char* old = std::getenv("KV_WINDIR");
  const std::string saved = old == nullptr ? "" : old;
  setenv("KV_WINDIR", dir.path().c_str(), 1);
  StartPrinter start = DefaultPrinter();
  EXPECT_TRUE(start.toFile);
  EXPECT_EQ(start.file, dir.path() + "/kvprint.pdf");
  WriteProfileStringA("windows", "device", "PDF, kvprint , /var/tmp/out.pdf ");
  start = DefaultPrinter();
  EXPECT_TRUE(start.toFile);
  EXPECT_EQ(start.file, "/var/tmp/out.pdf");
  WriteProfileStringA("windows", "device", "HP,LaserJet,office");
  start = DefaultPrinter();
  EXPECT_FALSE(start.toFile);
  EXPECT_EQ(start.queue, "office");
  WriteProfileStringA("windows", "device", "x,y,REPORT.PDF");
  EXPECT_TRUE(DefaultPrinter().toFile) << "a name ending in .pdf is a file";
  if (saved.empty())
    unsetenv("KV_WINDIR");
  else
    setenv("KV_WINDIR", saved.c_str(), 1);
}

TEST(PrinterChoice, PaperOfAPageSetupInTenthsOfAMillimetre) {
  GtkPageSetup* setup = gtk_page_setup_new();
  GtkPaperSize* a4 = gtk_paper_size_new(GTK_PAPER_NAME_A4);
  gtk_page_setup_set_paper_size(setup, a4);
  DEVMODEA mode = PaperOf(setup);
  EXPECT_EQ(mode.dmFields, DM_PAPERWIDTH | DM_PAPERLENGTH);
  EXPECT_EQ(mode.dmPaperWidth, 2100);
  EXPECT_EQ(mode.dmPaperLength, 2970);
  gtk_page_setup_set_orientation(setup, GTK_PAGE_ORIENTATION_LANDSCAPE);
  mode = PaperOf(setup);
  EXPECT_EQ(mode.dmPaperWidth, 2970) << "turned as the page is";
  EXPECT_EQ(mode.dmPaperLength, 2100);
  gtk_paper_size_free(a4);
  g_object_unref(setup);
  EXPECT_EQ(PaperOf(nullptr).dmFields, 0u);
}

}  // namespace
