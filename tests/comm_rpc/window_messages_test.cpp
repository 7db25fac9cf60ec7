// The remote functions that reach windows on the server: a posted message,
// a registered message and a buffer sent as copy data, received by a window
// of this thread while a session thread of the server delivers them.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/ui/messages.h"
#include "platform/ui/window.h"
#include "tests/comm_rpc/rpc_support.h"

namespace {

struct Received {
  kvp::UINT message = 0;
  kvp::WPARAM wParam = 0;
  kvp::LPARAM lParam = 0;
  uintptr_t dataWord = 0;
  std::string bytes;
  int count = 0;
};
Received gReceived;

kvp::LRESULT Procedure(kvp::HWND window, kvp::UINT message, kvp::WPARAM wParam,
                       kvp::LPARAM lParam) {
  if (message == 0x8042) {
    gReceived.message = message;
    gReceived.wParam = wParam;
    gReceived.lParam = lParam;
    ++gReceived.count;
    return 0;
  }
  if (message == kvp::WM_COPYDATA) {
    const auto* data = reinterpret_cast<const kvp::COPYDATASTRUCT*>(lParam);
    gReceived.message = message;
    gReceived.wParam = wParam;
    gReceived.dataWord = data->dwData;
    gReceived.bytes.assign(static_cast<const char*>(data->lpData), data->cbData);
    ++gReceived.count;
    return 77;
  }
  return kvp::DefWindowProcA(window, message, wParam, lParam);
}

class WindowMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    gReceived = Received{};
    kvp::WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.lpszClassName = "RpcTestWindow";
    ASSERT_NE(kvp::RegisterClassA(&windowClass), 0);
    window = kvp::CreateWindowExA(0, "RpcTestWindow", "rpc", 0, 0, 0, 100, 100, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    directory.Passwords("alice=Secret\n");
    server = std::make_unique<kvrpctest::RunningServer>(0);
    client = kvrpctest::Connect(server->Port(), 0, "Secret", "*" KV_COMM_LIBRARY);
    ASSERT_NE(client, nullptr);
  }
  void TearDown() override {
    if (client != nullptr) DeconnecteLibrairie(client);
    EXPECT_TRUE(server->Stop());
    kvp::DestroyWindow(window);
    kvp::UnregisterClassA("RpcTestWindow", nullptr);
  }
  // Pumps this thread's queue until `count` messages came (10 s at most).
  bool PumpUntil(int count) {
    return kvnettest::WaitFor(
        [count] {
          kvp::MSG message{};
          while (kvp::PeekMessageA(&message, nullptr, 0, 0, kvp::PM_REMOVE))
            kvp::DispatchMessageA(&message);
          return gReceived.count >= count;
        },
        10);
  }
  uint32_t Handle() const { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)); }
  kvp::HWND window = nullptr;
  kvrpctest::ServerDirectory directory;
  kvrpctest::MessageLog log;
  std::unique_ptr<kvrpctest::RunningServer> server;
  clCLIENT* client = nullptr;
};

TEST_F(WindowMessages, PostedMessageReachesTheWindow) {
  REM_PostMessage(client, Handle(), 0x8042, 12345, 0x7FFFFFFF);
  ASSERT_TRUE(PumpUntil(1));
  EXPECT_EQ(gReceived.wParam, 12345u);
  EXPECT_EQ(gReceived.lParam, 0x7FFFFFFF);
}

TEST_F(WindowMessages, RegisteredMessageIsTheServersAtom) {
  char name[] = "KV RPC test message";
  const unsigned long remote = REM_RegisterWindowMessage(client, name, sizeof name);
  EXPECT_GE(remote, 0xC000u);
  EXPECT_EQ(remote, kvp::RegisterWindowMessageA("kv rpc TEST message"));
}

TEST_F(WindowMessages, BufferArrivesAsCopyData) {
  char buffer[] = "copied across";
  KVPostBuffer(client, Handle(), buffer, sizeof buffer, 6, 0xABCD);
  ASSERT_TRUE(PumpUntil(1));
  EXPECT_EQ(gReceived.message, kvp::WM_COPYDATA);
  EXPECT_EQ(gReceived.wParam, 0u);
  EXPECT_EQ(gReceived.dataWord, 0xABCDu);
  EXPECT_EQ(gReceived.bytes, "copied");
}

TEST_F(WindowMessages, ByteCountBeyondTheBufferSendsNothing) {
  char buffer[8] = "1234567";
  KVPostBuffer(client, Handle(), buffer, sizeof buffer, 9, 1);
  // A call that works, after it, shows the refused one was handled.
  KVPostBuffer(client, Handle(), buffer, sizeof buffer, 8, 2);
  ASSERT_TRUE(PumpUntil(1));
  EXPECT_EQ(gReceived.count, 1);
  EXPECT_EQ(gReceived.dataWord, 2u);
  EXPECT_EQ(gReceived.bytes.size(), 8u);
}

}  // namespace
