// kvcomm loaded as the host loads it (by its Windows name, through the
// harness), with an instance of command 1 and its tables of command 3; the
// host runtime's module loaded as the real host is, message boxes answered
// by the test, drives and profiles in a temporary directory. After command
// 2 no global block and no thread of the library may be left.
#pragma once
#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "host/ext_harness.h"
#include "kv/comm_instance.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/system.h"
#include "platform/ui/message_box.h"
#include "platform/ui/messages.h"
#include "tests/support/temp_dir.h"

namespace commcmd {

using kvhost::Argument;
using kvhost::CallOutcome;
using kvhost::ResultArea;

inline Argument I(int32_t value) {
  return Argument::Int(value);
}
inline Argument T(std::string_view text) {
  return Argument::Text(text);
}

// Whatever port the kernel gives.
inline int32_t AnyFreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) throw std::runtime_error("no socket for a free port");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(s);
    throw std::runtime_error("no free port");
  }
  ::close(s);
  return ntohs(address.sin_port);
}

// A loopback port nothing listens on at the moment (the kernel's choice).
// The kernel may give the same port twice in a row once its socket is
// closed, and two servers of this process may both listen on one port
// (they share it): a port is handed out once per process.
inline int32_t FreePort() {
  static std::mutex mutex;
  static std::set<int32_t> given;
  std::lock_guard<std::mutex> guard(mutex);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int32_t port = AnyFreePort();
    if (port != 0 && given.insert(port).second) return port;
  }
  return 0;
}

// True when something accepts connections on 127.0.0.1:port.
inline bool Listening(int32_t port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  const bool connected = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(s);
  return connected;
}

// The threads of this process.
inline size_t ThreadCount() {
  size_t count = 0;
  DIR* tasks = ::opendir("/proc/self/task");
  if (tasks == nullptr) return 0;
  while (dirent* entry = ::readdir(tasks)) {
    if (entry->d_name[0] != '.') ++count;
  }
  ::closedir(tasks);
  return count;
}

// Waits (at most 10 s) until the process runs no more threads than `most`.
inline bool ThreadsBackTo(size_t most) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (ThreadCount() > most) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

struct Box {
  std::string text, caption;
  unsigned type;
};

class CommTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(::getenv("KV_COMM_CONFIGURED_ONLY"), nullptr)
        << "these tests must run with KV_COMM_CONFIGURED_ONLY=1 (no real serial device)";
    ::setenv("KV_WINDIR", dir_.path().c_str(), 1);
    ::setenv("KV_DRIVES", ("C:HD=" + dir_.path()).c_str(), 1);
    ::setenv("TMPDIR", dir_.path().c_str(), 1);
    ::unsetenv("KV_MODULE_MAPI32_DLL");
    kvp::SetMessageBoxHook(&CommTest::KeepBox, this);
    // The servers read their users' passwords in the current directory.
    previousDirectory_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    std::ofstream(dir_.File("KVRPCSRV.INI")) << "[Passwords]\nalice=Secret\n";
    // A sanitizer's runtime starts a thread of its own with the first thread
    // of the process: it must be counted before, not taken for the library's.
    std::thread([] {}).join();
    threadsBefore_ = ThreadCount();
    blocksBefore_ = kvp::GlobalLiveBlocks();
    // A client asks for the host runtime in the process before it connects.
    host_ = kvp::LoadLibraryA("kvhost.DLL");
    ASSERT_NE(host_, nullptr) << "libkvhost.so is missing";
    std::string error;
    ASSERT_TRUE(library_.Load("kvcomm.dll", error)) << error;
    ASSERT_TRUE(library_.CreateInstance());
    ASSERT_TRUE(library_.Describe());
  }

  void TearDown() override {
    if (library_.instance() != nullptr) {
      EXPECT_TRUE(library_.DestroyInstance());
    }
    WaitTransfers();
    EXPECT_EQ(kvp::GlobalLiveBlocks(), blocksBefore_) << "global blocks left behind";
    EXPECT_TRUE(ThreadsBackTo(threadsBefore_)) << "threads of the library still run";
    library_.Unload();
    if (host_ != nullptr) kvp::FreeLibrary(host_);
    kvp::SetMessageBoxHook(nullptr, nullptr);
    std::error_code ignored;
    std::filesystem::current_path(previousDirectory_, ignored);
    ::unsetenv("KV_DRIVES");
    ::unsetenv("TMPDIR");
  }

  // Calls by name with the syntax's own result type; a mismatch of the
  // arguments with the table is a failure of the test.
  CallOutcome Call(std::string_view name, int16_t syntax, const std::vector<Argument>& arguments,
                   uint32_t capacity = 256) {
    std::string mismatch;
    const FunctionEntry* entry = library_.FindFunction(name);
    if (entry == nullptr || syntax < 0 || syntax >= entry->syntaxCount) {
      ADD_FAILURE() << "no syntax " << syntax << " of " << name;
      return CallOutcome{};
    }
    ResultArea area{entry->syntaxes[syntax].resultType, capacity};
    std::optional<CallOutcome> outcome =
        library_.CallByName(name, syntax, arguments, area, &mismatch);
    if (!outcome) {
      ADD_FAILURE() << mismatch;
      return CallOutcome{};
    }
    EXPECT_FALSE(outcome->overran) << name << " wrote past the result buffer";
    return *outcome;
  }
  std::string Text(std::string_view name, int16_t syntax, const std::vector<Argument>& arguments,
                   uint32_t capacity = 256) {
    return Call(name, syntax, arguments, capacity).resultBytes;
  }

  CommInstanceContext& context() { return *static_cast<CommInstanceContext*>(library_.instance()); }

  int32_t StartServer(int32_t kind, int32_t port) {
    return Call("NetStartServer", 2, {I(kind), I(0), I(port)}).Integer();
  }
  int32_t Connect(int32_t kind, int32_t port, const char* name = "NetConnect") {
    return Call(name, 3, {T("127.0.0.1"), I(kind), T("alice"), T("Secret"), I(0), I(2000), I(port)})
        .Integer();
  }

  void WaitTransfers() {
    if (library_.module() == nullptr) return;
    using Wait = int (*)(long);
    auto wait = reinterpret_cast<Wait>(library_.Symbol("KVRPC_WaitTransfers"));
    ASSERT_NE(wait, nullptr);
    EXPECT_EQ(wait(20000), 1) << "a transfer thread still runs";
  }

  static int KeepBox(kvp::HWND, const char* text, const char* caption, unsigned type, void* self) {
    auto* test = static_cast<CommTest*>(self);
    std::lock_guard<std::mutex> guard(test->boxesMutex_);
    test->boxes_.push_back({text ? text : "", caption ? caption : "", type});
    return test->answer_;
  }
  std::vector<Box> Boxes() {
    std::lock_guard<std::mutex> guard(boxesMutex_);
    return boxes_;
  }

  kvtest::TempDir dir_;
  std::filesystem::path previousDirectory_;
  kvhost::ExtensionLibrary library_;
  void* host_ = nullptr;
  size_t threadsBefore_ = 0;
  size_t blocksBefore_ = 0;
  std::mutex boxesMutex_;
  std::vector<Box> boxes_;
  int answer_ = kvp::IDYES;
};

}  // namespace commcmd
