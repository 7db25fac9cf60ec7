// Message boxes on the desktop: the right buttons, default button and
// answer codes, closing where the box allows it, the host's hook first.
#include "platform/ui/message_box.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/gdi/pens_brushes.h"
#include "platform/ui/gtk/gtk_message_box.h"
#include "platform/ui/window.h"
#include "tests/platform_ui_gtk_dialogs/dialog_fixture.h"

namespace gtk_dialogs_test {

namespace {

using namespace kvp;

class MessageBoxTest : public DesktopTest {
 protected:
  // Shows a box while the desktop types `keys` into it (and runs `extra`
  // there first); answers the box's result.
  int Answer(UINT type, const std::string& keys, const std::string& extra = "",
             HWND owner = nullptr, const char* text = "Continuer ?") {
    const std::string title = UniqueTitle("Box");
    Desktop person(FindWindow(title) + extra + TypeKeys(keys));
    const int answer = MessageBoxA(owner, text, title.c_str(), type);
    EXPECT_EQ(person.Wait(10), 0) << "the box titled " << title << " was not found or typed into";
    return answer;
  }
};

TEST_F(MessageBoxTest, EachButtonSetAnswersItsCodes) {
  EXPECT_EQ(Answer(MB_OK, "Return"), IDOK);
  EXPECT_EQ(Answer(MB_OKCANCEL, "Return"), IDOK);
  EXPECT_EQ(Answer(MB_OKCANCEL | MB_DEFBUTTON2, "Return"), IDCANCEL);
  EXPECT_EQ(Answer(MB_YESNOCANCEL | MB_DEFBUTTON2, "Return"), IDNO) << "the second is the default";
  EXPECT_EQ(Answer(MB_YESNOCANCEL, "alt+y"), IDYES);
  EXPECT_EQ(Answer(MB_YESNO | MB_DEFBUTTON2, "alt+y"), IDYES);
  EXPECT_EQ(Answer(MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, "Return"), IDIGNORE);
  EXPECT_EQ(Answer(MB_ABORTRETRYIGNORE, "alt+r"), IDRETRY);
  EXPECT_EQ(Answer(MB_ABORTRETRYIGNORE | MB_ICONSTOP, "Return"), IDABORT);
  // A third button the set lacks: the first is the default, as on Windows.
  EXPECT_EQ(Answer(MB_RETRYCANCEL | MB_DEFBUTTON3, "Return"), IDRETRY);
  // An unknown set shows OK.
  EXPECT_EQ(Answer(0x7, "Return"), IDOK);
}

TEST_F(MessageBoxTest, EscapeClosesOnlyWhereWindowsLetsIt) {
  EXPECT_EQ(Answer(MB_OK, "Escape"), IDOK);
  EXPECT_EQ(Answer(MB_OKCANCEL, "Escape"), IDCANCEL);
  EXPECT_EQ(Answer(MB_YESNOCANCEL, "Escape"), IDCANCEL);
  EXPECT_EQ(Answer(MB_RETRYCANCEL, "Escape"), IDCANCEL);
  // Yes/No and Abort/Retry/Ignore cannot be closed: Escape leaves the box
  // up and the next key answers it.
  EXPECT_EQ(Answer(MB_YESNO, "Escape sleep 0.3 key alt+n"), IDNO);
  EXPECT_EQ(Answer(MB_ABORTRETRYIGNORE, "Escape sleep 0.3 key alt+i"), IDIGNORE);
  EXPECT_EQ(detail::gtk::CloseAnswer(MB_YESNO), 0);
  EXPECT_EQ(detail::gtk::CloseAnswer(MB_OK), IDOK);
}

TEST_F(MessageBoxTest, BoxesFromOtherThreadsAreShownAndAnsweredToTheirCaller) {
  // The communication library's service threads show boxes of their own.
  int answers[2] = {0, 0};
  std::thread first([&] { answers[0] = Answer(MB_YESNO, "alt+n"); });
  first.join();
  std::thread second([&] { answers[1] = Answer(MB_OKCANCEL, "Escape"); });
  second.join();
  EXPECT_EQ(answers[0], IDNO);
  EXPECT_EQ(answers[1], IDCANCEL);
}

int HookAnswer(HWND, const char*, const char*, UINT, void* calls) {
  ++*static_cast<int*>(calls);
  return IDRETRY;
}

TEST_F(MessageBoxTest, TheHostsHookStillWinsAndNoBoxAppears) {
  int calls = 0;
  const MessageBoxHook previous = SetMessageBoxHook(&HookAnswer, &calls);
  const std::string title = UniqueTitle("Hooked");
  Desktop person(FindWindow(title, 2));
  EXPECT_EQ(MessageBoxA(nullptr, "text", title.c_str(), MB_YESNO), IDRETRY);
  EXPECT_EQ(calls, 1);
  EXPECT_NE(person.Wait(6), 0) << "no window may show while the hook answers";
  SetMessageBoxHook(previous, nullptr);
}

TEST_F(MessageBoxTest, ABoxStaysAboveItsOwnersTopLevelWindow) {
  ASSERT_TRUE(RequireTool("xprop"));
  const std::string ownerTitle = UniqueTitle("Owner");
  WNDCLASSA owners{};
  owners.lpfnWndProc = &DefWindowProcA;
  owners.lpszClassName = "GtkDialogTestOwner";
  owners.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  RegisterClassA(&owners);
  HWND owner =
      CreateWindowExA(0, "GtkDialogTestOwner", ownerTitle.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                      40, 40, 300, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  HWND child = CreateWindowExA(0, "BUTTON", "child", WS_CHILD | WS_VISIBLE, 10, 10, 80, 30, owner,
                               nullptr, nullptr, nullptr);
  ASSERT_NE(child, nullptr);
  // The box of a child window belongs to the child's top-level window.
  const std::string transient = dir_.File("transient.txt");
  const std::string ownerId = dir_.File("owner.txt");
  const std::string check = "xprop -id \"$w\" WM_TRANSIENT_FOR > '" + transient +
                            "'\n"
                            "xdotool search --onlyvisible --name '^" +
                            ownerTitle + "$' > '" + ownerId + "'\n";
  EXPECT_EQ(Answer(MB_OKCANCEL, "Escape", check, child), IDCANCEL);
  const auto read = [](const std::string& path) {
    std::string text;
    if (std::FILE* f = std::fopen(path.c_str(), "r")) {
      char buffer[256];
      while (std::fgets(buffer, sizeof buffer, f)) text += buffer;
      std::fclose(f);
    }
    return text;
  };
  const std::string ownerIds = read(ownerId);
  ASSERT_FALSE(ownerIds.empty()) << "the owner is not on the screen";
  char hex[32];
  std::snprintf(hex, sizeof hex, "0x%lx", std::strtoul(ownerIds.c_str(), nullptr, 10));
  EXPECT_NE(read(transient).find(hex), std::string::npos)
      << read(transient) << " does not name the owner " << hex;
  DestroyWindow(owner);
  UnregisterClassA("GtkDialogTestOwner", nullptr);
}

TEST_F(MessageBoxTest, TheBoxLooksAsItsReferencePicture) {
  const std::string picture = dir_.File("message-box.png");
  const std::string title = UniqueTitle("erreur");
  Desktop person(FindWindow(title) + "sleep 0.3\nimport -window \"$w\" '" + picture + "'\n" +
                 TypeKeys("Return"));
  EXPECT_EQ(MessageBoxA(nullptr, "Le fichier image est illisible (\xe9tat 3)", title.c_str(),
                        MB_OK | MB_ICONEXCLAMATION),
            IDOK);
  ASSERT_EQ(person.Wait(15), 0);
  if (const char* keep = std::getenv("KV_KEEP_SCREENSHOTS"))
    std::filesystem::copy_file(picture, std::string(keep) + "/gtk-message-box.png",
                               std::filesystem::copy_options::overwrite_existing);
  const long differing = DifferingPixels(KV_GTK_FIXTURES "/gtk-message-box.png", picture);
  ASSERT_GE(differing, 0) << "the pictures cannot be compared (another size?)";
  // Taken twice on one machine the pictures are the same; a glyph of the
  // text shown wrong (a Windows-1252 letter not converted) changes some
  // fifty pixels, a missing icon or button thousands.
  EXPECT_LT(differing, 40);
}

TEST_F(MessageBoxTest, EachIconTypeShowsItsOwnIcon) {
  // The same text under each icon of the type and none: every picture
  // differs from every other by at least part of an icon (48 x 48 pixels).
  constexpr UINT kIcons[] = {0, MB_ICONSTOP, MB_ICONEXCLAMATION, 0x20 /* question */,
                             0x40 /* information */};
  constexpr size_t kCount = sizeof kIcons / sizeof kIcons[0];
  std::string pictures[kCount];
  for (size_t i = 0; i < kCount; ++i) {
    pictures[i] = dir_.File("icon-" + std::to_string(i) + ".png");
    const std::string title = UniqueTitle("icon");
    Desktop person(FindWindow(title) + "sleep 0.3\nimport -window \"$w\" '" + pictures[i] + "'\n" +
                   TypeKeys("Return"));
    EXPECT_EQ(MessageBoxA(nullptr, "Une ligne de texte", title.c_str(), MB_OK | kIcons[i]), IDOK);
    ASSERT_EQ(person.Wait(15), 0) << "the box of icon type " << kIcons[i];
    ASSERT_TRUE(std::filesystem::exists(pictures[i])) << "no picture of icon type " << kIcons[i];
    if (const char* keep = std::getenv("KV_KEEP_SCREENSHOTS"))
      std::filesystem::copy_file(pictures[i],
                                 std::string(keep) + "/icon-" + std::to_string(i) + ".png",
                                 std::filesystem::copy_options::overwrite_existing);
  }
  for (size_t i = 0; i < kCount; ++i) {
    for (size_t j = i + 1; j < kCount; ++j) {
      const long differing = DifferingPixels(pictures[i], pictures[j]);
      // Another size is another picture as well (a box without an icon
      // may be narrower).
      if (differing >= 0) {
        EXPECT_GT(differing, 300) << "icon types " << kIcons[i] << " and " << kIcons[j];
      }
    }
  }
}

}  // namespace

}  // namespace gtk_dialogs_test
