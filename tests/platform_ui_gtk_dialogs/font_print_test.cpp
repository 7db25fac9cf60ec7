// The font and print set-up dialogs on the desktop: OK and Cancel, what
// they fill in, and the printer context a print to a file gives.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/gdi/device_context.h"
#include "platform/gdi/printer.h"
#include "platform/kernel/profile.h"
#include "platform/ui/dialogs.h"
#include "tests/platform_ui_gtk_dialogs/dialog_fixture.h"
#include "tests/support/command_output.h"

namespace gtk_dialogs_test {

namespace {

using namespace kvp;

class FontDialogTest : public DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    font_ = LOGFONTA{};
    font_.lfHeight = -16;
    font_.lfWeight = FW_BOLD;
    font_.lfCharSet = 1;
    std::strcpy(font_.lfFaceName, "Liberation Serif");
    choice_ = CHOOSEFONTA{};
    choice_.lStructSize = sizeof choice_;
    choice_.lpLogFont = &font_;
    choice_.Flags = CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT;
    choice_.rgbColors = RGB(200, 0, 30);
  }

  BOOL Run(const std::string& keys) {
    // The font dialog is titled "Font" whoever asks: one at a time.
    Desktop person(FindWindow("Font") + TypeKeys(keys));
    const BOOL chosen = ChooseFontA(&choice_);
    EXPECT_EQ(person.Wait(15), 0) << "the font dialog was not found or typed into";
    EXPECT_TRUE(WaitGone("Font")) << "the font dialog stays on the screen";
    return chosen;
  }

  LOGFONTA font_{};
  CHOOSEFONTA choice_{};
};

TEST_F(FontDialogTest, CancelLeavesTheRecordsAsTheyWere) {
  const LOGFONTA before = font_;
  EXPECT_FALSE(Run("Escape"));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_EQ(std::memcmp(&before, &font_, sizeof font_), 0);
  EXPECT_EQ(choice_.rgbColors, RGB(200, 0, 30));
  EXPECT_EQ(choice_.iPointSize, 0);
}

TEST_F(FontDialogTest, OkGivesTheFontItStartedFromWithItsColour) {
  ASSERT_TRUE(Run("Return"));
  EXPECT_STREQ(font_.lfFaceName, "Liberation Serif");
  EXPECT_EQ(font_.lfHeight, -16) << "16 pixels are 12 points at 96 pixels per inch";
  EXPECT_EQ(choice_.iPointSize, 120);
  EXPECT_EQ(font_.lfWeight, FW_BOLD);
  EXPECT_EQ(font_.lfItalic, 0);
  EXPECT_EQ(font_.lfCharSet, 1) << "what the dialog does not choose stays";
  EXPECT_EQ(choice_.rgbColors, RGB(200, 0, 30));
  EXPECT_EQ(font_.lfUnderline, 0);
}

TEST_F(FontDialogTest, TheEffectsRowSetsUnderlineAndStrikeOut) {
  ASSERT_TRUE(Run("alt+u alt+k Return"));
  EXPECT_EQ(font_.lfUnderline, 1);
  EXPECT_EQ(font_.lfStrikeOut, 1);
  font_.lfStrikeOut = 1;
  ASSERT_TRUE(Run("alt+k Return"));
  EXPECT_EQ(font_.lfUnderline, 1) << "the dialog starts from the record's effects";
  EXPECT_EQ(font_.lfStrikeOut, 0);
}

TEST_F(FontDialogTest, BadRecordsNeverOpenTheDialog) {
  choice_.lStructSize = sizeof choice_ - 1;
  EXPECT_FALSE(ChooseFontA(&choice_));
  EXPECT_EQ(CommDlgExtendedError(), CDERR_STRUCTSIZE);
  choice_.lStructSize = sizeof choice_;
  choice_.lpLogFont = nullptr;
  EXPECT_FALSE(ChooseFontA(&choice_));
  EXPECT_EQ(CommDlgExtendedError(), CDERR_INITIALIZATION);
}

class PrintDialogTest : public DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    ASSERT_TRUE(RequireTool("pdfinfo"));
    ASSERT_TRUE(RequireTool("pdftotext"));
    const char* old = std::getenv("KV_WINDIR");
    savedWindir_ = old == nullptr ? "" : old;
    setenv("KV_WINDIR", dir_.path().c_str(), 1);
    pdf_ = dir_.File("chart print.pdf");
    // The default printer of the profile: the dialog starts on it.
    WriteProfileStringA("windows", "device", ("PDF,kvprint," + pdf_).c_str());
    choice_ = PRINTDLGA{};
    choice_.lStructSize = sizeof choice_;
    choice_.Flags = PD_RETURNDC | PD_PRINTSETUP;
  }
  void TearDown() override {
    if (choice_.hDC != nullptr) DeleteDC(choice_.hDC);
    if (savedWindir_.empty())
      unsetenv("KV_WINDIR");
    else
      setenv("KV_WINDIR", savedWindir_.c_str(), 1);
    DesktopTest::TearDown();
  }

  BOOL Run(const std::string& keys) {
    Desktop person(FindWindow("Print Setup") + TypeKeys(keys));
    const BOOL chosen = PrintDlgA(&choice_);
    EXPECT_EQ(person.Wait(20), 0) << "the print dialog was not found or typed into";
    EXPECT_TRUE(WaitGone("Print Setup")) << "the print dialog stays on the screen";
    return chosen;
  }

  std::string savedWindir_;
  std::string pdf_;
  PRINTDLGA choice_{};
};

TEST_F(PrintDialogTest, CancelGivesNoContextAndPrintsNothing) {
  EXPECT_FALSE(Run("Escape"));
  EXPECT_EQ(choice_.hDC, nullptr);
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_FALSE(std::filesystem::exists(pdf_));
}

TEST_F(PrintDialogTest, OkOnTheFilePrinterGivesAContextThatWritesThePdf) {
  ASSERT_TRUE(Run("Return"));
  ASSERT_NE(choice_.hDC, nullptr);
  EXPECT_EQ(choice_.nCopies, 1);
  const int widthMm = GetDeviceCaps(choice_.hDC, HORZSIZE);
  const int heightMm = GetDeviceCaps(choice_.hDC, VERTSIZE);
  EXPECT_GT(widthMm, 100);
  EXPECT_GT(heightMm, widthMm) << "a portrait page";
  DOCINFOA document{};
  document.cbSize = sizeof document;
  document.lpszDocName = "check";
  ASSERT_GT(StartDocA(choice_.hDC, &document), 0);
  for (int page = 0; page < 2; ++page) {
    ASSERT_GT(StartPage(choice_.hDC), 0);
    const char text[] = "printed through the dialog";
    TextOutA(choice_.hDC, 100, 100, text, static_cast<int>(sizeof text - 1));
    ASSERT_GT(EndPage(choice_.hDC), 0);
  }
  ASSERT_GT(EndDoc(choice_.hDC), 0);
  DeleteDC(choice_.hDC);
  choice_.hDC = nullptr;
  ASSERT_TRUE(std::filesystem::exists(pdf_)) << "the file the dialog named";
  // poppler reads the document: two pages of the paper the dialog chose.
  const std::vector<std::string> info = kvtest::CommandLines("pdfinfo '" + pdf_ + "'");
  bool pages = false, size = false;
  for (const std::string& line : info) {
    if (line.rfind("Pages:", 0) == 0) pages = line.find(" 2") != std::string::npos;
    double w = 0, h = 0;
    if (std::sscanf(line.c_str(), "Page size: %lf x %lf pts", &w, &h) == 2) {
      size = std::abs(w - widthMm * 72 / 25.4) < 3 && std::abs(h - heightMm * 72 / 25.4) < 3;
    }
  }
  EXPECT_TRUE(pages) << ::testing::PrintToString(info);
  EXPECT_TRUE(size) << ::testing::PrintToString(info) << widthMm << " x " << heightMm << " mm";
  const std::vector<std::string> text = kvtest::CommandLines("pdftotext '" + pdf_ + "' -");
  EXPECT_NE(::testing::PrintToString(text).find("printed through the dialog"), std::string::npos);
}

TEST_F(PrintDialogTest, TheDefaultPrinterComesWithoutADialog) {
  choice_.Flags = PD_RETURNDC | PD_RETURNDEFAULT;
  Desktop person(FindWindow("Print Setup", 2));
  ASSERT_TRUE(PrintDlgA(&choice_));
  ASSERT_NE(choice_.hDC, nullptr);
  EXPECT_NE(person.Wait(6), 0) << "no dialog may show";
  DOCINFOA document{};
  document.cbSize = sizeof document;
  ASSERT_GT(StartDocA(choice_.hDC, &document), 0);
  ASSERT_GT(EndDoc(choice_.hDC), 0);
  EXPECT_TRUE(std::filesystem::exists(pdf_));
}

}  // namespace

}  // namespace gtk_dialogs_test
