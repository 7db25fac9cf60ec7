// The GTK backend is a library of its own that the platform layer loads
// when it tries a display. These cases run the probe (a program linked to
// the platform layer, not to GTK) and check that GTK is loaded then and
// only then, and that a missing backend library leaves the program on the
// headless screen with a message instead of ending it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/platform_ui_gtk/display_test.h"

namespace {

struct ProbeRun {
  int status = -1;  // exit status; -1 when it did not exit
  std::vector<std::string> lines;
  std::string errors;
};

std::string ReadAll(int fd) {
  std::string text;
  char buffer[512];
  for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, got);
  close(fd);
  return text;
}

// Runs the probe with `settings` (NAME=VALUE, or NAME alone to remove it)
// over this process's environment.
ProbeRun RunProbe(const std::vector<std::string>& settings) {
  int out[2];
  int err[2];
  if (pipe(out) != 0 || pipe(err) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    for (const std::string& setting : settings) {
      const size_t equals = setting.find('=');
      if (equals == std::string::npos) {
        unsetenv(setting.c_str());
      } else {
        setenv(setting.substr(0, equals).c_str(), setting.c_str() + equals + 1, 1);
      }
    }
    dup2(out[1], 1);
    dup2(err[1], 2);
    close(out[0]);
    close(err[0]);
    execl(KV_UI_PROBE, KV_UI_PROBE, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  // The probe writes little: reading one pipe to its end cannot block it
  // on the other.
  ProbeRun run;
  const std::string text = ReadAll(out[0]);
  run.errors = ReadAll(err[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    run.lines.push_back(text.substr(start, end - start));
  }
  return run;
}

bool GtkMappedHere() {
  std::ifstream maps("/proc/self/maps");
  std::string all((std::istreambuf_iterator<char>(maps)), std::istreambuf_iterator<char>());
  return all.find("/libgtk-3.so") != std::string::npos;
}

using BackendModuleTest = kvtest::DisplayTest;

TEST_F(BackendModuleTest, TheSuiteItselfIsNotLinkedToGtk) {
  // This suite, like the probe, links the platform layer alone.
  EXPECT_FALSE(GtkMappedHere());
}

TEST_F(BackendModuleTest, AHeadlessProgramMapsNoGtk) {
  for (const std::vector<std::string>& settings :
       {std::vector<std::string>{"KV_UI=headless", "DISPLAY=" + display_},
        std::vector<std::string>{"KV_UI", "DISPLAY"}}) {
    const ProbeRun run = RunProbe(settings);
    ASSERT_EQ(run.status, 0) << run.errors;
    ASSERT_EQ(run.lines.size(), 4u) << run.errors;
    EXPECT_EQ(run.lines[1], "no-gtk");
    EXPECT_EQ(run.lines[2], "headless");
    EXPECT_EQ(run.lines[3], "no-gtk") << "the headless screen loaded GTK";
    EXPECT_EQ(run.errors, "");
  }
}

TEST_F(BackendModuleTest, AProgramNotLinkedToGtkGetsTheGtkBackendOnADisplay) {
  for (const std::vector<std::string>& settings :
       {std::vector<std::string>{"KV_UI=gtk", "DISPLAY=" + display_},
        std::vector<std::string>{"KV_UI", "DISPLAY=" + display_}}) {
    const ProbeRun run = RunProbe(settings);
    ASSERT_EQ(run.status, 0) << run.errors;
    ASSERT_EQ(run.lines.size(), 4u) << run.errors;
    EXPECT_EQ(run.lines[1], "no-gtk") << "GTK was there before the user interface was used";
    EXPECT_EQ(run.lines[2], "gtk") << run.errors;
    EXPECT_EQ(run.lines[3], "gtk");
  }
}

TEST_F(BackendModuleTest, AMissingBackendLibraryLeavesTheHeadlessScreenAndSaysSo) {
  // The platform layer alone in a folder: the backend library it looks for
  // beside itself is not there.
  char pattern[] = "/tmp/kv-gtk-module-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::filesystem::path folder = pattern;
  const std::filesystem::path copy = folder / "libkvplatform.so.1";
  std::filesystem::copy_file(KV_PLATFORM_LIBRARY, copy);

  for (const char* asked : {"KV_UI=gtk", "KV_UI"}) {
    const ProbeRun run =
        RunProbe({asked, "DISPLAY=" + display_, "LD_LIBRARY_PATH=" + folder.string()});
    EXPECT_EQ(run.status, 0) << run.errors;
    ASSERT_EQ(run.lines.size(), 4u) << run.errors;
    EXPECT_EQ(run.lines[0], copy.string()) << "the probe did not load the copy";
    EXPECT_EQ(run.lines[2], "headless");
    EXPECT_EQ(run.lines[3], "no-gtk");
    const std::string prefix =
        std::string(asked) == "KV_UI=gtk" ? "KV_UI=gtk" : "DISPLAY=" + display_;
    EXPECT_EQ(run.errors.rfind(prefix + ": the GTK backend could not be loaded (", 0), 0u)
        << run.errors;
    EXPECT_NE(run.errors.find("libkvplatform_gtk.so.1"), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find("; using headless\n"), std::string::npos) << run.errors;
    EXPECT_EQ(run.errors.find('\n'), run.errors.size() - 1) << "one line: " << run.errors;
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
