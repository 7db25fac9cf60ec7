// Message boxes: the host's hook, or stderr and the default button.
#include "platform/ui/message_box.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "tests/platform/test_support.h"

namespace {

using namespace kvp;

struct Seen {
  int calls = 0;
  HWND owner = nullptr;
  std::string text;
  std::string caption;
  UINT type = 0;
};

int RecordingHook(HWND owner, const char* text, const char* caption, UINT type, void* context) {
  auto* seen = static_cast<Seen*>(context);
  ++seen->calls;
  seen->owner = owner;
  seen->text = text;
  seen->caption = caption;
  seen->type = type;
  return IDNO;
}

int OtherHook(HWND, const char*, const char*, UINT, void*) {
  return IDRETRY;
}

// Runs `show` with stderr sent to a file and returns what was written.
template <class Show>
std::string CaptureStderr(Show show) {
  kvtest::TempDir dir;
  const std::string path = dir.File("stderr");
  fflush(stderr);
  int saved = dup(2);
  int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(file, 2);
  close(file);
  show();
  fflush(stderr);
  dup2(saved, 2);
  close(saved);
  return kvtest::ReadWholeFile(path);
}

TEST(MessageBoxes, TheHookGetsEveryBoxWithItsContext) {
  Seen seen;
  EXPECT_EQ(SetMessageBoxHook(RecordingHook, &seen), nullptr);
  HWND owner = reinterpret_cast<HWND>(uintptr_t{0x1234});
  EXPECT_EQ(MessageBoxA(owner, "Fichier introuvable", "erreur", MB_YESNO | MB_ICONSTOP), IDNO);
  EXPECT_EQ(seen.calls, 1);
  EXPECT_EQ(seen.owner, owner);
  EXPECT_EQ(seen.text, "Fichier introuvable");
  EXPECT_EQ(seen.caption, "erreur");
  EXPECT_EQ(seen.type, MB_YESNO | MB_ICONSTOP);

  EXPECT_EQ(SetMessageBoxHook(OtherHook, nullptr), RecordingHook);
  EXPECT_EQ(MessageBoxA(nullptr, "t", "c", MB_OK), IDRETRY);
  EXPECT_EQ(seen.calls, 1);
  EXPECT_EQ(SetMessageBoxHook(nullptr, nullptr), OtherHook);
}

TEST(MessageBoxes, WithoutAHookTheBoxGoesToStderr) {
  int answer = 0;
  std::string written =
      CaptureStderr([&] { answer = MessageBoxA(nullptr, "disk full", "kvcomm", MB_OK); });
  EXPECT_EQ(written, "kvcomm: disk full\n");
  EXPECT_EQ(answer, IDOK);
  written = CaptureStderr([&] { MessageBoxA(nullptr, "no caption", nullptr, MB_OK); });
  EXPECT_EQ(written, "Error: no caption\n");
}

TEST(MessageBoxes, TheDefaultButtonIsTheAnswer) {
  struct Case {
    UINT type;
    int answer;
  } cases[] = {
      {MB_OK, IDOK},
      {MB_OKCANCEL, IDOK},
      {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
      {MB_YESNO, IDYES},
      {MB_YESNO | MB_DEFBUTTON2, IDNO},
      {MB_YESNO | MB_ICONEXCLAMATION, IDYES},
      {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
      {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY},
      {MB_RETRYCANCEL, IDRETRY},
      {MB_OK | MB_DEFBUTTON2, IDOK},  // no second button: the first
      {MB_YESNO | MB_DEFBUTTON3, IDYES},
  };
  CaptureStderr([&] {
    for (const Case& c : cases)
      EXPECT_EQ(MessageBoxA(nullptr, "t", "c", c.type), c.answer) << c.type;
  });
}

}  // namespace
