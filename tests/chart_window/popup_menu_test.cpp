// The popup menu through injected input: texts in both languages at the
// pointer, every command checked by the model it leaves and the picture.
#include <filesystem>
#include <random>
#include <string_view>

#include "platform/gdi/printer.h"
#include "platform/ui/ui_backend.h"
#include "tests/chart_window/window_fixture.h"

namespace charttest {
namespace {

using kv::chart::Chart;
using kv::chart::ChartType;

struct FontAnswer {
  int calls = 0;
  kvp::LONG heightSeen = 0;
  kvp::COLORREF colourSeen = 0;
};

kvp::BOOL AnswerFont(kvp::CHOOSEFONTA* choice, void* context) {
  auto* answer = static_cast<FontAnswer*>(context);
  ++answer->calls;
  answer->heightSeen = choice->lpLogFont->lfHeight;
  answer->colourSeen = choice->rgbColors;
  choice->lpLogFont->lfHeight = -21;  // the dialog's way: negative for a character height
  choice->lpLogFont->lfWeight = kvp::FW_BOLD;
  std::strcpy(choice->lpLogFont->lfFaceName, "Liberation Serif");
  choice->rgbColors = kvp::RGB(200, 0, 30);
  return kvp::TRUE_;
}

kvp::BOOL CancelFont(kvp::CHOOSEFONTA*, void* context) {
  ++static_cast<FontAnswer*>(context)->calls;
  return kvp::FALSE_;
}

kvp::BOOL CancelPrint(kvp::PRINTDLGA*, void*) {
  return kvp::FALSE_;
}

struct PrintAnswer {
  int calls = 0;
  std::string path;
  bool zeroPage = false;
};

kvp::BOOL AnswerPrint(kvp::PRINTDLGA* choice, void* context) {
  auto* answer = static_cast<PrintAnswer*>(context);
  ++answer->calls;
  EXPECT_NE(choice->Flags & kvp::PD_RETURNDC, 0u);
  kvp::DEVMODEA mode{};
  mode.dmFields = kvp::DM_PAPERLENGTH | kvp::DM_PAPERWIDTH;
  choice->hDC = kvp::CreateDCA(nullptr, "test printer", answer->path.c_str(),
                               answer->zeroPage ? &mode : nullptr);
  return choice->hDC != nullptr;
}

class PopupMenuTest : public ChartWindowTest, public ::testing::WithParamInterface<int> {
 protected:
  // Chart "G" in the language, drawn into its own window.
  kvp::HWND DrawnInWindow(int language) {
    EXPECT_TRUE(library_.SetLanguage(static_cast<uint32_t>(language)));
    MakeChart("G", 1);
    ToWindow("G");
    Ok("grDraw", 0, {T("G")});
    return ChartWindowOf("G");
  }
};

const char* TypeText(int language) {
  return language == 0 ? "&Type de graphe" : "Graph &type";
}

TEST_P(PopupMenuTest, EveryCommandChangesTheModelAndThePicture) {
  const int language = GetParam();
  kvp::HWND window = DrawnInWindow(language);
  ASSERT_NE(window, nullptr);

  // The menu opens at the pointer, in the chart's language.
  ChooseFromMenu(window, 0, 55, 66);
  kvp::TrackedMenu shown = kvp::LastTrackedMenu();
  ASSERT_TRUE(shown.tracked);
  kvp::POINT expected{55, 66};
  kvp::ClientToScreen(window, &expected);
  EXPECT_EQ(shown.at.x, expected.x);
  EXPECT_EQ(shown.at.y, expected.y);
  EXPECT_EQ(shown.owner, window);
  ASSERT_FALSE(shown.items.empty());
  EXPECT_EQ(shown.items.front().text, TypeText(language));
  EXPECT_EQ(shown.items.back().text, language == 0 ? "&Imprime..." : "&Print...");
  EXPECT_EQ(shown.items.back().id, 50u);
  size_t separators = 0;
  for (const auto& item : shown.items) separators += (item.flags & kvp::MF_SEPARATOR) != 0;
  EXPECT_EQ(separators, 1u);

  // Types: 1020 is the curve, 1030 the column.
  const std::pair<unsigned, ChartType> types[] = {
      {1020, ChartType::kCurve},    {1030, ChartType::kColumn},  {1040, ChartType::kPie3D},
      {1050, ChartType::kColumn3D}, {1060, ChartType::kScatter}, {1010, ChartType::kPie}};
  for (const auto& [command, type] : types) {
    const std::vector<uint32_t> before = WindowPixels(window);
    ChooseFromMenu(window, command);
    ASSERT_NE(Model("G"), nullptr);
    EXPECT_EQ(ModelOf("G").type(), type) << command;
    EXPECT_EQ(ChartWindowOf("G"), window) << "the window is handed to the new chart";
    EXPECT_NE(WindowPixels(window), before) << command;
    ChooseFromMenu(window, 0);
    for (const auto& item : kvp::LastTrackedMenu().items) {
      if (item.id >= 1010 && item.id <= 1060) {
        EXPECT_EQ((item.flags & kvp::MF_CHECKED) != 0, item.id == command) << item.id;
      }
    }
  }
  ChooseFromMenu(window, 1030);

  // Legend.
  for (const auto& [command, position] : {std::pair{3020u, 1}, {3030u, 2}, {3010u, 0}}) {
    const std::vector<uint32_t> before = WindowPixels(window);
    ChooseFromMenu(window, command);
    EXPECT_EQ(ModelOf("G").applied.legendPosition, position) << command;
    EXPECT_NE(WindowPixels(window), before) << command;
  }

  // Grids switch to the opposite state (a curve has both).
  ChooseFromMenu(window, 1020);
  for (unsigned command : {4010u, 4020u}) {
    const bool horizontal = command == 4010;
    const auto state = [&] {
      return horizontal ? ModelOf("G").HorizontalGrid() : ModelOf("G").VerticalGrid();
    };
    const int32_t was = state();
    const std::vector<uint32_t> before = WindowPixels(window);
    ChooseFromMenu(window, command);
    EXPECT_EQ(state(), was != 0 ? 0 : 1) << command;
    EXPECT_NE(WindowPixels(window), before) << command;
    ChooseFromMenu(window, command);
    EXPECT_EQ(state(), was) << command;
  }

  // Fonts: the dialog starts from the element's font and colour.
  FontAnswer answer;
  kvp::SetChooseFontHook(CancelFont, &answer);
  const std::vector<uint32_t> beforeCancel = WindowPixels(window);
  ChooseFromMenu(window, 2010);
  EXPECT_EQ(answer.calls, 1);
  EXPECT_EQ(WindowPixels(window), beforeCancel) << "a cancelled dialog changes nothing";
  kvp::SetChooseFontHook(AnswerFont, &answer);
  Ok("grTitle", 2, {T("G"), T("Titre du graphe"), I(1)});
  Ok("grAxisTitle", 0, {T("G"), T("Axe"), I(0)});
  Ok("grLegend", 0, {T("G"), I(1)});
  Ok("grSerialLabel", 0, {T("G"), I(1), T("Nord")});
  Ok("grSerialLabel", 0, {T("G"), I(2), T("Sud")});
  Ok("grLabel", 0, {T("G"), I(0), I(1)});
  Ok("grDraw", 0, {T("G")});
  using kv::chart::FontElement;
  const std::pair<unsigned, FontElement> fonts[] = {{2010, FontElement::kTitle},
                                                    {2020, FontElement::kAxisTitle},
                                                    {2030, FontElement::kLegend},
                                                    {2040, FontElement::kLabel}};
  for (const auto& [command, element] : fonts) {
    const std::vector<uint32_t> before = WindowPixels(window);
    ChooseFromMenu(window, command);
    const kv::chart::ElementFont& font = ModelOf("G").font(element);
    const kvp::LOGFONTA description = Describe(font.font.get());
    EXPECT_EQ(description.lfHeight, 21) << "height made positive, " << command;
    EXPECT_EQ(description.lfWeight, kvp::FW_BOLD);
    EXPECT_EQ(font.colour, kvp::RGB(200, 0, 30));
    EXPECT_NE(WindowPixels(window), before) << command;
  }
  EXPECT_EQ(answer.calls, 5);

  // With the menu switched off a right click opens nothing.
  Ok("grMenu", 1, {T("G"), I(0)});
  Ok("grDraw", 0, {T("G")});
  kvp::QueueMenuChoice(3020);
  kvp::InjectClick(window, 10, 10, true);
  Pump();
  EXPECT_EQ(kvp::PendingMenuChoices(), 1u);
  kvp::ClearMenuChoices();
}

// Printing from the menu through the set-up dialog, and a cancelled dialog.
TEST_P(PopupMenuTest, PrintingThroughTheSetUpDialog) {
  const int language = GetParam();
  kvp::HWND window = DrawnInWindow(language);
  ASSERT_NE(window, nullptr);
  const std::filesystem::path pdf =
      std::filesystem::temp_directory_path() /
      ("chart_menu_print_" + std::to_string(getpid()) + "_" + std::to_string(language) + ".pdf");
  PrintAnswer print{0, pdf.string(), false};
  kvp::SetPrintDlgHook(AnswerPrint, &print);
  ChooseFromMenu(window, 50);
  EXPECT_EQ(print.calls, 1);
  ASSERT_TRUE(std::filesystem::exists(pdf));
  EXPECT_GT(std::filesystem::file_size(pdf), 500u);
  std::filesystem::remove(pdf);
  // Headless, a dialog nobody answers is cancelled; a desktop's would wait
  // for a person, so there the test cancels it.
  if (std::string_view(kvp::UiBackendName()) == "headless") {
    kvp::SetPrintDlgHook(nullptr, nullptr);
  } else {
    kvp::SetPrintDlgHook(CancelPrint, nullptr);
  }
  ChooseFromMenu(window, 50);
  EXPECT_FALSE(std::filesystem::exists(pdf)) << "a cancelled print prints nothing";
  kvp::SetPrintDlgHook(nullptr, nullptr);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, PopupMenuTest, ::testing::Values(0, 1));

TEST_F(ChartWindowTest, ARightClickAfterATypeChangeFindsTheNewChart) {
  MakeChart("F", 0);
  ToField("F");
  Ok("grDraw", 0, {T("F")});
  MakeChart("W", 0);
  ToWindow("W");
  Ok("grDraw", 0, {T("W")});
  kvp::HWND window = ChartWindowOf("W");
  const std::vector<uint32_t> fieldBefore = FieldPixels();
  // The language's type change, then the menu's, on both destinations.
  Ok("grType", 0, {T("F"), I(2)});
  Ok("grType", 0, {T("W"), I(5)});
  EXPECT_EQ(FieldPixels(), fieldBefore) << "the field still shows the chart";
  ChooseFromMenu(field_.window, 3020, 10, 10);
  EXPECT_EQ(ModelOf("F").applied.legendPosition, 1);
  EXPECT_EQ(ModelOf("F").type(), ChartType::kCurve);
  ChooseFromMenu(window, 3030);
  EXPECT_EQ(ModelOf("W").applied.legendPosition, 2);
  ChooseFromMenu(field_.window, 1050, 10, 10);
  EXPECT_EQ(ModelOf("F").type(), ChartType::kColumn3D);
  ChooseFromMenu(field_.window, 4010, 10, 10);
  EXPECT_EQ(ModelOf("F").HorizontalGrid(), 1);
  ChooseFromMenu(window, 1040);
  ChooseFromMenu(window, 3010);
  EXPECT_EQ(ModelOf("W").type(), ChartType::kPie3D);
  EXPECT_EQ(ModelOf("W").applied.legendPosition, 0);
  EXPECT_EQ(ChartWindowOf("W"), window);
}

TEST_F(ChartWindowTest, PrintingOnAZeroPageUsesEightHundredBySixHundred) {
  MakeChart("G", 1);
  ToWindow("G");
  Ok("grDraw", 0, {T("G")});
  const std::filesystem::path pdf = std::filesystem::temp_directory_path() /
                                    ("chart_zero_page_" + std::to_string(getpid()) + ".pdf");
  PrintAnswer print{0, pdf.string(), true};
  kvp::SetPrintDlgHook(AnswerPrint, &print);
  const kv::chart::PrintRect keptRect = ModelOf("G").printRect;
  ChooseFromMenu(ChartWindowOf("G"), 50);
  EXPECT_EQ(print.calls, 1);
  EXPECT_EQ(ModelOf("G").printRect.right, keptRect.right) << "the print rectangle is restored";
  EXPECT_EQ(ModelOf("G").drawingScale, 1.0);
  std::filesystem::remove(pdf);
}

// Language calls, injected input and destroys in a random order: no crash,
// and nothing left once the instance is gone (checked by the fixture).
TEST_F(ChartWindowTest, RandomCallsInputAndDestroysLeaveNothingBehind) {
  std::mt19937 random(20261209);
  const unsigned commands[] = {0,    1010, 1020, 1030, 1040, 1050, 1060, 3010,
                               3020, 3030, 4010, 4020, 2010, 2030, 50,   9999};
  FontAnswer fonts;
  kvp::SetChooseFontHook(AnswerFont, &fonts);
  const std::filesystem::path pdf = std::filesystem::temp_directory_path() /
                                    ("chart_random_" + std::to_string(getpid()) + ".pdf");
  PrintAnswer print{0, pdf.string(), false};
  kvp::SetPrintDlgHook(AnswerPrint, &print);
  const char* names[] = {"A", "B"};
  for (int step = 0; step < 400; ++step) {
    const std::string name = names[random() % 2];
    const std::string upper = name;
    switch (random() % 11) {
      case 0:
        MakeChart(name, static_cast<int>(random() % 6));
        break;
      case 1:
        Call("grType", 0, {T(name), I(static_cast<int>(random() % 7))});
        break;
      case 2:
        if (Model(upper)) ToWindow(name, "R" + std::to_string(step));
        break;
      case 3:
        if (Model(upper)) ToField(name);
        break;
      case 4:
      case 5:
        Call("grDraw", 0, {T(name)});
        break;
      case 6:
        Call("grClearPict", 0, {T(name)});
        break;
      case 7: {
        kvp::HWND target = random() % 2 ? ChartWindowOf(upper) : field_.window;
        if (target != nullptr && kvp::IsWindow(target)) {
          kvp::QueueMenuChoice(commands[random() % std::size(commands)]);
          kvp::InjectClick(target, static_cast<int>(random() % 300),
                           static_cast<int>(random() % 200), true);
          Pump();
          kvp::ClearMenuChoices();
        }
        break;
      }
      case 8: {
        kvp::HWND target = ChartWindowOf(upper);
        if (target != nullptr && kvp::IsWindow(target)) kvp::DestroyWindow(target);
        break;
      }
      case 9:
        Call("grDeleteAll", 0, {T(name)});
        break;
      case 10:
        Call("grLegend", 0, {T(name), I(static_cast<int>(random() % 4))});
        break;
    }
  }
  std::filesystem::remove(pdf);
}

}  // namespace
}  // namespace charttest
