// Which backend a process gets: KV_UI and the display decide, once, at the
// first use of the user interface. Each case runs in a child process of
// its own, since the choice lasts for the life of a process; the parent
// never touches the user interface.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/ui/messages.h"
#include "platform/ui/ui_backend.h"
#include "platform/ui/window.h"
#include "tests/platform_ui_gtk/display_test.h"

namespace {

struct Choice {
  std::string backend;
  int screenWidth = 0;
};

// Forks, sets the environment (a null value removes the variable) and
// reports the backend the child got and the screen width it sees.
Choice ChooseIn(const char* kvUi, const char* display) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    close(pipeFds[0]);
    if (kvUi != nullptr) {
      setenv("KV_UI", kvUi, 1);
    } else {
      unsetenv("KV_UI");
    }
    if (display != nullptr) {
      setenv("DISPLAY", display, 1);
    } else {
      unsetenv("DISPLAY");
    }
    const std::string answer = std::string(kvp::UiBackendName()) + " " +
                               std::to_string(kvp::GetSystemMetrics(kvp::SM_CXSCREEN));
    const ssize_t written = write(pipeFds[1], answer.data(), answer.size());
    _exit(written == static_cast<ssize_t>(answer.size()) ? 0 : 1);
  }
  close(pipeFds[1]);
  std::string text;
  char buffer[128];
  for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, got);
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
  Choice choice;
  const size_t space = text.find(' ');
  choice.backend = text.substr(0, space);
  if (space != std::string::npos) choice.screenWidth = std::atoi(text.c_str() + space + 1);
  return choice;
}

using BackendChoiceTest = kvtest::DisplayTest;

TEST_F(BackendChoiceTest, WithoutADisplayTheHeadlessScreenIsTheDefault) {
  const Choice none = ChooseIn(nullptr, nullptr);
  EXPECT_EQ(none.backend, "headless");
  EXPECT_EQ(none.screenWidth, 1024);
  EXPECT_EQ(ChooseIn("", nullptr).backend, "headless");
  EXPECT_EQ(ChooseIn(nullptr, "").backend, "headless") << "an empty DISPLAY names none";
}

TEST_F(BackendChoiceTest, AReachableDisplayIsUsedUnlessHeadlessIsAskedFor) {
  const Choice shown = ChooseIn(nullptr, display_.c_str());
  EXPECT_EQ(shown.backend, "gtk");
  EXPECT_EQ(shown.screenWidth, 800) << "the virtual server's screen";
  EXPECT_EQ(ChooseIn("gtk", display_.c_str()).backend, "gtk");
  EXPECT_EQ(ChooseIn("headless", display_.c_str()).backend, "headless");
}

TEST_F(BackendChoiceTest, AnUnreachableDisplayOrAnUnknownNameFallsBackToHeadless) {
  // A display number far above any server of this machine (Xvfb picks
  // the lowest free one).
  const std::string absent = ":31999";
  EXPECT_EQ(ChooseIn("gtk", absent.c_str()).backend, "headless");
  EXPECT_EQ(ChooseIn(nullptr, absent.c_str()).backend, "headless");
  EXPECT_EQ(ChooseIn("qt", display_.c_str()).backend, "headless");
}

}  // namespace
