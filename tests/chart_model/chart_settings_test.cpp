// Titles, legend, label switches, destinations, window size, menu and the
// settings-changed mark that a drawing clears.
#include <cstdlib>
#include <filesystem>

#include "platform/ui/window.h"
#include "tests/chart_model/chart_fixture.h"

namespace charttest {
namespace {

using kv::chart::DestinationKind;
using kv::chart::FindMenuItem;
using kv::chart::MenuLanguage;

class ChartSettingsTest : public ChartTest {
 protected:
  void SetUp() override {
    ChartTest::SetUp();
    Ok("grCreate", 0, {T("G"), I(1)});
  }
  const kv::chart::Chart& G() { return ModelOf("G"); }

  uint16_t State(uint16_t command, MenuLanguage language = MenuLanguage::kFrench) {
    const kv::chart::MenuItem* item = FindMenuItem(G().menu(language), command);
    if (item == nullptr) throw std::runtime_error("no menu item");
    return item->state;
  }
};

TEST_F(ChartSettingsTest, TitleSyntaxes) {
  Ok("grTitle", 0, {T("G"), I(2)});
  EXPECT_EQ(G().pending.titlePosition, 2);
  EXPECT_TRUE(G().settingsChanged());
  // Text alone puts a non-empty title at the top.
  Ok("grTitle", 1, {T("G"), T("Sales")});
  EXPECT_EQ(G().pending.title, "Sales");
  EXPECT_EQ(G().pending.titlePosition, 1);
  // An empty text leaves the position alone.
  Ok("grTitle", 0, {T("G"), I(2)});
  Ok("grTitle", 1, {T("G"), T("")});
  EXPECT_EQ(G().pending.title, "");
  EXPECT_EQ(G().pending.titlePosition, 2);
  Ok("grTitle", 2, {T("G"), T("Costs"), I(0)});
  EXPECT_EQ(G().pending.title, "Costs");
  EXPECT_EQ(G().pending.titlePosition, 0);
}

TEST_F(ChartSettingsTest, TitlePositionOutOfRangeIsAnIncorrectParameter) {
  Ok("grTitle", 0, {T("G"), I(1)});
  for (int32_t position : {3, -1, 0x10001}) {
    const CallOutcome outcome = Fails("grTitle", 0, {T("G"), I(position)}, 2, 3);
    EXPECT_EQ(outcome.frenchText, Win1252("Paramètre incorrect"));
    EXPECT_EQ(outcome.englishText, "Incorrect parameter");
    EXPECT_EQ(G().pending.titlePosition, 1) << position;
  }
  // The state was reset by the report: the next call succeeds.
  Ok("grTitle", 0, {T("G"), I(2)});
  // With syntax 2 the text is kept, the position refused.
  Fails("grTitle", 2, {T("G"), T("Kept"), I(7)}, 2, 3);
  EXPECT_EQ(G().pending.title, "Kept");
  EXPECT_EQ(G().pending.titlePosition, 2);
}

TEST_F(ChartSettingsTest, LegendPositionAndItsMenuItems) {
  EXPECT_EQ(State(kv::chart::kMenuLegendNone), kv::chart::kMenuChecked);
  Ok("grLegend", 0, {T("G"), I(2)});
  EXPECT_EQ(G().pending.legendPosition, 2);
  EXPECT_TRUE(G().settingsChanged());
  for (MenuLanguage language : {MenuLanguage::kFrench, MenuLanguage::kEnglish}) {
    EXPECT_EQ(State(kv::chart::kMenuLegendNone, language), 0);
    EXPECT_EQ(State(kv::chart::kMenuLegendRight, language), 0);
    EXPECT_EQ(State(kv::chart::kMenuLegendLeft, language), kv::chart::kMenuChecked);
  }
  Fails("grLegend", 0, {T("G"), I(3)}, 2, 3);
  Fails("grLegend", 0, {T("G"), I(-1)}, 2, 3);
  EXPECT_EQ(G().pending.legendPosition, 2);
}

TEST_F(ChartSettingsTest, LabelSwitches) {
  Ok("grLabel", 0, {T("G"), I(0), I(1)});
  Ok("grLabel", 0, {T("G"), I(2), I(5)});
  EXPECT_EQ(G().labelDisplay[0], 1);
  EXPECT_EQ(G().labelDisplay[1], 0);
  EXPECT_EQ(G().labelDisplay[2], 5);
  Fails("grLabel", 0, {T("G"), I(3), I(1)}, 2, 3);
  Fails("grLabel", 0, {T("G"), I(-1), I(1)}, 2, 3);
  // Label switches take effect without marking the settings changed.
  EXPECT_FALSE(G().settingsChanged());
}

TEST_F(ChartSettingsTest, DestinationsAndTheDrawingThatAppliesThem) {
  // The owner is a real window: a chart window needs one (or none).
  kvp::HWND ownerWindow = kvp::CreateWindowExA(0, "BUTTON", "owner", 0, 0, 0, 10, 10, nullptr,
                                               nullptr, nullptr, nullptr);
  ASSERT_NE(ownerWindow, nullptr);
  Ok("grDestinationWnd", 0, {T("G"), Argument::Window(ownerWindow), T("Caption")});
  EXPECT_EQ(G().pending.destinationKind, DestinationKind::kWindow);
  EXPECT_EQ(G().pending.destinationHandle, ownerWindow);
  EXPECT_EQ(G().pending.destinationText, "Caption");
  EXPECT_TRUE(G().settingsChanged());
  EXPECT_EQ(G().applied.destinationText, "");

  // The chart window opens, but a chart without data has nothing to draw.
  Fails("grDraw", 0, {T("G")}, 1, 2);
  EXPECT_FALSE(G().settingsChanged());
  EXPECT_EQ(G().applied.destinationText, "Caption");
  EXPECT_EQ(G().applied.destinationHandle, ownerWindow);

  int dc = 0;
  int field = 0;
  FieldReference reference{&dc, &field, {1, 2, 3, 4}};
  Ok("grDestinationField", 0, {T("G"), Argument::Field(reference)});
  EXPECT_EQ(G().pending.destinationKind, DestinationKind::kField);
  EXPECT_EQ(G().pending.destinationHandle, &dc);
  EXPECT_EQ(G().pending.fieldWindow, &field);
  EXPECT_EQ(G().pending.destinationText, "");
  // Until the next drawing the applied settings stay as they were.
  EXPECT_EQ(G().applied.destinationKind, DestinationKind::kWindow);

  Ok("grDestinationWMF", 0, {T("G"), T("/tmp/out.wmf")});
  EXPECT_EQ(G().pending.destinationKind, DestinationKind::kMetafile);
  EXPECT_EQ(G().pending.destinationHandle, nullptr);
  EXPECT_EQ(G().pending.destinationText, "/tmp/out.wmf");
  // Clearing and printing do not take up pending settings. The chart holds
  // no data, so the print (to the default printer, a PDF file in a Windows
  // directory of the test's own) and the drawing report nothing drawable.
  char windowsDirectory[] = "/tmp/kvchart-settings-XXXXXX";
  ASSERT_NE(mkdtemp(windowsDirectory), nullptr);
  setenv("KV_WINDIR", windowsDirectory, 1);
  Ok("grClearPict", 0, {T("G")});
  Fails("grPrint", 0, {T("G")}, 1, 2);
  Fails("grPrint", 1, {T("G"), I(10), I(10), I(100), I(80)}, 1, 2);
  EXPECT_TRUE(G().settingsChanged());
  Fails("grDraw", 0, {T("G")}, 1, 2);
  std::filesystem::remove_all(windowsDirectory);
  kvp::DestroyWindow(ownerWindow);
  EXPECT_EQ(G().applied.destinationKind, DestinationKind::kMetafile);
  EXPECT_EQ(G().applied.destinationText, "/tmp/out.wmf");
}

TEST_F(ChartSettingsTest, NullTextsReadAsEmpty) {
  Ok("grTitle", 1, {T("G"), Argument::NullText()});
  Ok("grDestinationWMF", 0, {T("G"), Argument::NullText()});
  EXPECT_EQ(G().pending.destinationText, "");
  // A null chart name finds no chart.
  Fails("grLegend", 0, {Argument::NullText(), I(1)}, 2, 50);
}

TEST_F(ChartSettingsTest, WindowSizeOrPrintRectangleBySixteenBitValues) {
  Ok("grWndSize", 0, {T("G"), I(10), I(20), I(0x10000 + 300), I(-5)});
  EXPECT_EQ(G().pending.windowRect.left, 10);
  EXPECT_EQ(G().pending.windowRect.top, 20);
  EXPECT_EQ(G().pending.windowRect.right, 300);
  EXPECT_EQ(G().pending.windowRect.bottom, -5);
  EXPECT_EQ(G().printRect.right, 0);
  EXPECT_FALSE(G().settingsChanged());

  Ok("grDestinationWMF", 0, {T("G"), T("x.wmf")});
  Ok("grWndSize", 0, {T("G"), I(1), I(2), I(0xFFFF), I(4)});
  EXPECT_EQ(G().printRect.left, 1);
  EXPECT_EQ(G().printRect.right, -1);
  EXPECT_EQ(G().printRect.bottom, 4);
  EXPECT_EQ(G().pending.windowRect.right, 300);
}

TEST_F(ChartSettingsTest, MenuSwitchAndOptionTexts) {
  Ok("grMenu", 1, {T("G"), I(0)});
  EXPECT_EQ(G().menuEnabled, 0);
  Ok("grMenu", 0, {T("G")});
  EXPECT_EQ(G().menuEnabled, 1);

  // Items are found in the submenus, and both languages take the text.
  Ok("grMenuOption", 0, {T("G"), I(3020), T("A droite")});
  Ok("grMenuOption", 0, {T("G"), I(50), T("Print it")});
  for (MenuLanguage language : {MenuLanguage::kFrench, MenuLanguage::kEnglish}) {
    EXPECT_EQ(FindMenuItem(G().menu(language), 3020)->text, "A droite");
    EXPECT_EQ(FindMenuItem(G().menu(language), 50)->text, "Print it");
  }
  // A number that no item carries changes nothing.
  Ok("grMenuOption", 0, {T("G"), I(0x10000 + 50), T("no")});
  Ok("grMenuOption", 0, {T("G"), I(9999), T("no")});
  EXPECT_EQ(FindMenuItem(G().menu(MenuLanguage::kFrench), 50)->text, "Print it");
}

TEST_F(ChartSettingsTest, MenuTreesInBothLanguages) {
  const struct {
    uint16_t command;
    const char* french;
    const char* english;
    size_t submenuItems;
  } top[] = {{10, "&Type de graphe", "Graph &type", 6},
             {20, "&Polices", "&Fonts", 4},
             {30, "&Legende", "&Legende", 3},
             {40, "&Quadrillage", "&Grid", 2},
             {0, "", "", 0},
             {50, "&Imprime...", "&Print...", 0}};
  const kv::chart::MenuTree& french = G().menu(MenuLanguage::kFrench);
  const kv::chart::MenuTree& english = G().menu(MenuLanguage::kEnglish);
  ASSERT_EQ(french.size(), std::size(top));
  ASSERT_EQ(english.size(), std::size(top));
  for (size_t i = 0; i < std::size(top); ++i) {
    EXPECT_EQ(french[i].command, top[i].command);
    EXPECT_EQ(french[i].text, top[i].french);
    EXPECT_EQ(english[i].text, top[i].english);
    EXPECT_EQ(french[i].submenu.size(), top[i].submenuItems);
  }
  const struct {
    uint16_t command;
    const char* french;
    const char* english;
  } items[] = {{1010, "&Secteur", "&Sector"},
               {1020, "&Courbe", "&Curves"},
               {1030, "&Histogramme", "C&harts"},
               {1040, "S&ecteur 3D", "S&ector 3D"},
               {1050, "H&istogramme 3D", "Char&ts 3D"},
               {1060, "&Nuage de points", "&Points"},
               {2010, "&Titre du graphique", "Graph &title"},
               {2020, "T&itre des axes", "Axes t&itle"},
               {2030, "&Legende", "&Legende"},
               {2040, "L&abels", "L&abels"},
               {3010, "&Sans", "&No"},
               {3020, "&Droite", "&Right"},
               {3030, "&Gauche", "&Left"},
               {4010, "&Horizontal", "&Horizontal"},
               {4020, "&Vertical", "&Vertical"}};
  for (const auto& item : items) {
    ASSERT_NE(FindMenuItem(french, item.command), nullptr) << item.command;
    EXPECT_EQ(FindMenuItem(french, item.command)->text, item.french);
    EXPECT_EQ(FindMenuItem(english, item.command)->text, item.english);
  }
  // The column chart shows its type checked, and nothing else of the type menu.
  EXPECT_EQ(State(1030), kv::chart::kMenuChecked);
  for (uint16_t other : {1010, 1020, 1040, 1050, 1060}) EXPECT_EQ(State(other), 0) << other;
  EXPECT_EQ(State(4010), 0);
  EXPECT_EQ(State(4020), 0);
}

}  // namespace
}  // namespace charttest
