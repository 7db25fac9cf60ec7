// Popup menus and injected input: buttons, capture, context menus, keys.
#include "tests/platform_ui/ui_test_support.h"

namespace {

using namespace ui_test;

using MenuInputTest = UiTest;

HMENU SampleMenu() {
  HMENU menu = CreatePopupMenu();
  HMENU types = CreatePopupMenu();
  AppendMenuA(types, MF_STRING | MF_CHECKED, 1010, "Pie");
  AppendMenuA(types, MF_STRING, 1020, "Curve");
  AppendMenuA(menu, MF_POPUP, reinterpret_cast<uintptr_t>(types), "Type");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING | MF_GRAYED, 4010, "Grid");
  AppendMenuA(menu, MF_STRING, 50, "Print");
  return menu;
}

TEST_F(MenuInputTest, MenusHoldItemsStatesAndSubmenus) {
  const size_t before = UiLiveMenus();
  HMENU menu = SampleMenu();
  EXPECT_EQ(UiLiveMenus(), before + 2);
  EXPECT_EQ(GetMenuItemCount(menu), 4);
  EXPECT_EQ(GetMenuItemID(menu, 3), 50u);
  EXPECT_EQ(GetMenuItemID(menu, 0), 0xFFFFFFFFu) << "a submenu has no id";
  HMENU types = GetSubMenu(menu, 0);
  ASSERT_NE(types, nullptr);
  EXPECT_EQ(GetMenuState(menu, 1010, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED)
      << "found through the submenu";
  EXPECT_EQ(CheckMenuItem(menu, 1010, MF_BYCOMMAND | MF_UNCHECKED), MF_CHECKED);
  EXPECT_EQ(CheckMenuItem(menu, 1020, MF_BYCOMMAND | MF_CHECKED), MF_UNCHECKED);
  EXPECT_EQ(GetMenuState(types, 0, MF_BYPOSITION) & MF_CHECKED, 0u);
  EXPECT_EQ(CheckMenuItem(menu, 9999, MF_BYCOMMAND), 0xFFFFFFFFu);
  EXPECT_NE(GetMenuState(menu, 1, MF_BYPOSITION) & MF_SEPARATOR, 0u);
  char text[16];
  EXPECT_EQ(GetMenuStringA(menu, 50, text, sizeof(text), MF_BYCOMMAND), 5);
  EXPECT_STREQ(text, "Print");

  // A menu cannot hold itself, an ancestor, or another menu's submenu.
  EXPECT_FALSE(AppendMenuA(types, MF_POPUP, reinterpret_cast<uintptr_t>(menu), "loop"));
  EXPECT_FALSE(AppendMenuA(menu, MF_POPUP, reinterpret_cast<uintptr_t>(menu), "self"));
  HMENU second = CreatePopupMenu();
  EXPECT_FALSE(AppendMenuA(second, MF_POPUP, reinterpret_cast<uintptr_t>(types), "shared"));
  EXPECT_TRUE(DestroyMenu(second));

  ASSERT_TRUE(DestroyMenu(menu));
  EXPECT_FALSE(IsMenu(types)) << "submenus go with their menu";
  EXPECT_EQ(UiLiveMenus(), before);
  EXPECT_FALSE(DestroyMenu(menu));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_MENU_HANDLE);
  EXPECT_FALSE(AppendMenuA(menu, MF_STRING, 1, "late"));
}

TEST_F(MenuInputTest, TrackingDeliversTheQueuedChoiceToTheOwner) {
  HWND owner = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  HMENU menu = SampleMenu();
  QueueMenuChoice(1020);
  ASSERT_TRUE(TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, 300, 200, 0, owner, nullptr));
  const TrackedMenu shown = LastTrackedMenu();
  EXPECT_TRUE(shown.tracked);
  EXPECT_EQ(shown.at.x, 300);
  EXPECT_EQ(shown.at.y, 200);
  EXPECT_EQ(shown.chosen, 1020u);
  ASSERT_EQ(shown.items.size(), 6u);
  EXPECT_EQ(shown.items[0].text, "Type");
  EXPECT_EQ(shown.items[1].text, "Pie");
  EXPECT_EQ(shown.items[1].depth, 1);
  ClearJournal();
  Pump();
  ASSERT_EQ(CountOf(WM_COMMAND, owner), 1u);
  EXPECT_EQ(LOWORD(LastOf(WM_COMMAND).wParam), 1020);

  // A grayed item, an unknown id and no choice at all dismiss the menu.
  for (UINT choice : {4010u, 777u}) QueueMenuChoice(choice);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, owner, nullptr), 0);
  }
  QueueMenuChoice(50);
  EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, owner, nullptr), 50);
  ClearJournal();
  Pump();
  EXPECT_EQ(CountOf(WM_COMMAND, owner), 0u) << "TPM_RETURNCMD posts nothing";
  DestroyMenu(menu);
  DestroyWindow(owner);
}

TEST_F(MenuInputTest, AButtonClickedByInjectedInputTellsItsParent) {
  HWND parent = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  HWND button =
      CreateWindowExA(0, "BUTTON", "OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 20, 30, 80, 24,
                      parent, reinterpret_cast<HMENU>(uintptr_t{42}), nullptr, nullptr);
  ASSERT_NE(button, nullptr);
  ClearJournal();
  ASSERT_TRUE(InjectClick(parent, 25, 35, false)) << "a point of the parent over the button";
  Pump();
  ASSERT_EQ(CountOf(WM_COMMAND, parent), 1u);
  const Seen command = LastOf(WM_COMMAND);
  EXPECT_EQ(LOWORD(command.wParam), 42);
  EXPECT_EQ(HIWORD(command.wParam), BN_CLICKED);
  EXPECT_EQ(reinterpret_cast<HWND>(command.lParam), button);
  EXPECT_EQ(GetCapture(), nullptr);

  // Pressed on the button, released outside it: captured, no click.
  ClearJournal();
  ASSERT_TRUE(InjectMouse(parent, WM_LBUTTONDOWN, 25, 35));
  Pump();
  EXPECT_EQ(GetCapture(), button);
  ASSERT_TRUE(InjectMouse(parent, WM_LBUTTONUP, 250, 150));
  Pump();
  EXPECT_EQ(CountOf(WM_COMMAND, parent), 0u);
  EXPECT_EQ(CountOf(WM_LBUTTONUP, parent), 0u) << "the capture took the release";

  // Clicks outside the button reach the parent; a disabled button none.
  ClearJournal();
  ASSERT_TRUE(InjectClick(parent, 200, 100, false));
  Pump();
  EXPECT_EQ(CountOf(WM_LBUTTONDOWN, parent), 1u);
  EnableWindow(button, FALSE_);
  ClearJournal();
  EXPECT_FALSE(InjectClick(button, 5, 5, false));
  ASSERT_TRUE(InjectClick(parent, 25, 35, false));
  Pump();
  EXPECT_EQ(CountOf(WM_COMMAND, parent), 0u);
  EXPECT_EQ(CountOf(WM_LBUTTONDOWN, parent), 1u) << "falls through to the parent";
  EnableWindow(parent, FALSE_);
  EXPECT_FALSE(InjectClick(parent, 25, 35, false));
  EnableWindow(parent, TRUE_);
  EnableWindow(button, TRUE_);
  EXPECT_EQ(SendMessageA(button, BM_CLICK, 0, 0), 0);
  EXPECT_EQ(CountOf(WM_COMMAND, parent), 1u);
  DestroyWindow(parent);
  EXPECT_FALSE(IsWindow(button));
}

TEST_F(MenuInputTest, ARightClickBecomesAContextMenuAtTheScreenPoint) {
  HWND window = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, 100, 100, 300, 200);
  ClearJournal();
  ASSERT_TRUE(InjectClick(window, 40, 30, true));
  Pump();
  ASSERT_EQ(CountOf(WM_CONTEXTMENU, window), 1u);
  POINT expected{40, 30};
  ClientToScreen(window, &expected);
  for (const Seen& seen : Journal()) {
    if (seen.message == WM_CONTEXTMENU) {
      EXPECT_EQ(GET_X_LPARAM(seen.lParam), expected.x);
      EXPECT_EQ(GET_Y_LPARAM(seen.lParam), expected.y);
    }
  }
  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_EQ(cursor.x, expected.x);
  EXPECT_EQ(cursor.y, expected.y);

  ClearJournal();
  ASSERT_TRUE(InjectKey(window, 'Q', true));
  ASSERT_TRUE(InjectKey(window, 'Q', false));
  Pump();
  EXPECT_EQ(CountOf(WM_KEYDOWN, window), 1u);
  EXPECT_EQ(CountOf(WM_KEYUP, window), 1u);
  EXPECT_EQ(CountOf(WM_CHAR, window), 1u) << "translated";
  ShowWindow(window, SW_HIDE);
  EXPECT_FALSE(InjectClick(window, 1, 1, false)) << "nobody clicks a hidden window";
  EXPECT_FALSE(InjectMouse(window, WM_COMMAND, 1, 1));
  DestroyWindow(window);
}

}  // namespace

#include <string_view>

#include "platform/ui/dialogs.h"
#include "platform/ui/ui_backend.h"

namespace {

using namespace kvp;

BOOL PickBoldRed(CHOOSEFONTA* choice, void* context) {
  ++*static_cast<int*>(context);
  choice->lpLogFont->lfWeight = FW_BOLD;
  choice->lpLogFont->lfHeight = -16;
  choice->rgbColors = RGB(255, 0, 0);
  return TRUE_;
}

BOOL CancelPrint(PRINTDLGA* choice, void* context) {
  ++*static_cast<int*>(context);
  return FALSE_;
}

// Without a hook, only the headless backend cancels a dialog by itself; on
// a desktop the dialog would wait for a person.
bool NobodyAnswersDialogs() {
  return std::string_view(UiBackendName()) == "headless";
}

TEST(DialogTest, HooksAnswerTheDialogsAndBadRecordsAreRefused) {
  LOGFONTA font{};
  CHOOSEFONTA choice{};
  choice.lStructSize = sizeof(choice);
  choice.lpLogFont = &font;
  choice.Flags = CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT;
  if (NobodyAnswersDialogs()) {
    EXPECT_FALSE(ChooseFontA(&choice)) << "nobody answers: cancelled";
    EXPECT_EQ(CommDlgExtendedError(), 0u);
  }
  int calls = 0;
  EXPECT_EQ(SetChooseFontHook(PickBoldRed, &calls), nullptr);
  ASSERT_TRUE(ChooseFontA(&choice));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(font.lfWeight, FW_BOLD);
  EXPECT_EQ(choice.rgbColors, RGB(255, 0, 0));
  choice.lStructSize = sizeof(choice) - 4;
  EXPECT_FALSE(ChooseFontA(&choice));
  EXPECT_EQ(CommDlgExtendedError(), CDERR_STRUCTSIZE);
  choice.lStructSize = sizeof(choice);
  choice.lpLogFont = nullptr;
  EXPECT_FALSE(ChooseFontA(&choice));
  EXPECT_EQ(CommDlgExtendedError(), CDERR_INITIALIZATION);
  EXPECT_FALSE(ChooseFontA(nullptr));
  EXPECT_EQ(calls, 1) << "bad records never reach the hook";
  EXPECT_EQ(SetChooseFontHook(nullptr, nullptr), PickBoldRed);

  PRINTDLGA print{};
  print.lStructSize = sizeof(print);
  print.Flags = PD_RETURNDC | PD_PRINTSETUP;
  if (NobodyAnswersDialogs()) {
    EXPECT_FALSE(PrintDlgA(&print));
  }
  SetPrintDlgHook(CancelPrint, &calls);
  EXPECT_FALSE(PrintDlgA(&print));
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(print.hDC, nullptr);
  print.lStructSize = 3;
  EXPECT_FALSE(PrintDlgA(&print));
  EXPECT_EQ(CommDlgExtendedError(), CDERR_STRUCTSIZE);
  SetPrintDlgHook(nullptr, nullptr);
}

}  // namespace
