// File transfers through the file server: both directions, progress
// notices, refusals, a cut transfer, and a large file compared byte for
// byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "platform/ui/messages.h"
#include "platform/ui/window.h"
#include "tests/comm_rpc/rpc_support.h"

namespace {

struct Notice {
  unsigned message;
  int64_t done;
  int64_t total;
  int finished;
};

class Observer {
 public:
  Observer() { KVRPC_SetTransferObserver(&Observer::Note, this); }
  ~Observer() { KVRPC_SetTransferObserver(nullptr, nullptr); }
  std::vector<Notice> Notices() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_notices;
  }
  std::vector<Notice> Progress() {
    std::vector<Notice> progress;
    for (const Notice& n : Notices())
      if (n.finished == 0) progress.push_back(n);
    return progress;
  }
  int Outcome() {
    for (const Notice& n : Notices())
      if (n.finished != 0) return n.finished;
    return 0;
  }

 private:
  static void Note(void* context, unsigned message, int64_t done, int64_t total, int finished) {
    Observer* self = static_cast<Observer*>(context);
    std::lock_guard<std::mutex> lock(self->m_mutex);
    self->m_notices.push_back(Notice{message, done, total, finished});
  }
  std::mutex m_mutex;
  std::vector<Notice> m_notices;
};

class Transfers : public ::testing::Test {
 protected:
  void SetUp() override {
    directory.Passwords("alice=Secret\n");
    server = std::make_unique<kvrpctest::RunningServer>(1);
    client = kvrpctest::Connect(server->Port(), 1);
    ASSERT_NE(client, nullptr);
  }
  void TearDown() override {
    EXPECT_EQ(KVRPC_WaitTransfers(60000), 1);
    if (client != nullptr) DeconnecteLibrairie(client);
    EXPECT_TRUE(server->Stop());
  }
  bool Finish() { return KVRPC_WaitTransfers(120000) == 1; }
  kvrpctest::ServerDirectory directory;
  kvrpctest::MessageLog log;
  Observer observer;
  std::unique_ptr<kvrpctest::RunningServer> server;
  clCLIENT* client = nullptr;
};

TEST_F(Transfers, PutThenGetBringsTheSameBytesBack) {
  const std::string bytes = kvnettest::PatternBytes(100000, 7);
  directory.Write("local.bin", bytes);
  ASSERT_EQ(nFTPPut(client, directory.File("local.bin").c_str(),
                    directory.File("remote.bin").c_str(), 0x8001, 0),
            1);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(observer.Outcome(), 1);
  EXPECT_EQ(directory.Read("remote.bin"), bytes);
  ASSERT_EQ(nFTPGet(client, directory.File("remote.bin").c_str(),
                    directory.File("back.bin").c_str(), 0x8001, 0),
            0);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(directory.Read("back.bin"), bytes);
  EXPECT_TRUE(observer.Progress().empty());  // step 0 posts nothing
  // No temporary file is left beside either target.
  for (const auto& entry : std::filesystem::directory_iterator(directory.Path()))
    EXPECT_EQ(entry.path().string().find(".kvpart"), std::string::npos) << entry.path();
}

TEST_F(Transfers, TenByteGetWithStepHundredPostsOneNotice) {
  directory.Write("ten.txt", "0123456789");
  ASSERT_EQ(nFTPGet(client, directory.File("ten.txt").c_str(), directory.File("got.txt").c_str(),
                    0x8123, 100),
            0);
  ASSERT_TRUE(Finish());
  const std::vector<Notice> progress = observer.Progress();
  ASSERT_EQ(progress.size(), 1u);
  EXPECT_EQ(progress[0].message, 0x8123u);
  EXPECT_EQ(progress[0].done, 10);
  EXPECT_EQ(progress[0].total, 10);
  EXPECT_EQ(directory.Read("got.txt"), "0123456789");
}

TEST_F(Transfers, ProgressMessagesArePostedToTheTopLevelWindows) {
  kvp::WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = kvp::DefWindowProcA;
  windowClass.lpszClassName = "KVRPCTESTPROGRESS";
  ASSERT_NE(kvp::RegisterClassA(&windowClass), 0);
  const kvp::HWND window =
      kvp::CreateWindowExA(0, "KVRPCTESTPROGRESS", "program", kvp::WS_OVERLAPPEDWINDOW, 0, 0, 100,
                           100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  directory.Write("ten.txt", "0123456789");
  ASSERT_EQ(nFTPGet(client, directory.File("ten.txt").c_str(), directory.File("got.txt").c_str(),
                    0x8124, 100),
            0);
  ASSERT_TRUE(Finish());
  std::vector<kvp::MSG> notices;
  kvp::MSG message;
  while (kvp::PeekMessageA(&message, nullptr, 0, 0, kvp::PM_REMOVE))
    if (message.message == 0x8124) notices.push_back(message);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].hwnd, window);
  EXPECT_EQ(notices[0].wParam, 10u);
  EXPECT_EQ(notices[0].lParam, 10);
  kvp::DestroyWindow(window);
  kvp::UnregisterClassA("KVRPCTESTPROGRESS", nullptr);
}

TEST_F(Transfers, PutOfAMissingLocalFileCreatesNothing) {
  ASSERT_EQ(nFTPPut(client, directory.File("absent.bin").c_str(),
                    directory.File("target.bin").c_str(), 0, 0),
            1);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(observer.Outcome(), -1);
  EXPECT_FALSE(std::filesystem::exists(directory.File("target.bin")));
  EXPECT_TRUE(kvnettest::WaitFor(
      [this] {
        return log.Saw("Serveur FTP",
                       "Le fichier demand\xE9 n'est pas disponible sur la machine distante");
      },
      10));
}

TEST_F(Transfers, GetOfAMissingRemoteFileFailsAndLeavesNoLocalFile) {
  ASSERT_EQ(nFTPGet(client, directory.File("absent.bin").c_str(),
                    directory.File("local.bin").c_str(), 0, 0),
            0);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(observer.Outcome(), -1);
  EXPECT_FALSE(std::filesystem::exists(directory.File("local.bin")));
  EXPECT_TRUE(log.Saw("KVFTP", "Le fichier demand\xE9 n'est pas disponible sur le serveur"));
}

TEST_F(Transfers, TransferCutByThePeerLeavesTheOldTargetIntact) {
  directory.Write("kept.txt", "the old contents");
  {
    kvrpctest::RawConnection c(server->Port());
    ASSERT_TRUE(c.Send(std::vector<unsigned char>{'P', 'U', 'T', 0}));
    const std::vector<unsigned char> ready = c.Receive(256);
    ASSERT_EQ(ready.size(), 256u);
    EXPECT_STREQ(reinterpret_cast<const char*>(ready.data()), "FILE TRANSFER READY");
    std::vector<unsigned char> name(256, 0);
    const std::string target = directory.File("kept.txt");
    std::copy(target.begin(), target.end(), name.begin());
    std::vector<unsigned char> size;
    kvrpctest::PutLE(size, 1000, 4);
    ASSERT_TRUE(c.Send(kvrpctest::Join({name, size, std::vector<unsigned char>(10, 'x')})));
  }
  EXPECT_TRUE(kvnettest::WaitFor(
      [this] { return log.Saw("Serveur FTP", "Le fichier n'a pas \xE9t\xE9 correctement recu"); },
      10));
  EXPECT_EQ(directory.Read("kept.txt"), "the old contents");
  for (const auto& entry : std::filesystem::directory_iterator(directory.Path()))
    EXPECT_EQ(entry.path().string().find(".kvpart"), std::string::npos) << entry.path();
}

TEST_F(Transfers, NegativeSizesOtherThanMinusOneAreRefused) {
  kvrpctest::RawConnection c(server->Port());
  ASSERT_TRUE(c.Send(std::vector<unsigned char>{'P', 'U', 'T', 0}));
  ASSERT_EQ(c.Receive(256).size(), 256u);
  std::vector<unsigned char> name(256, 0);
  const std::string target = directory.File("never.bin");
  std::copy(target.begin(), target.end(), name.begin());
  std::vector<unsigned char> size;
  kvrpctest::PutLE(size, static_cast<uint32_t>(-2), 4);
  ASSERT_TRUE(c.Send(kvrpctest::Join({name, size})));
  EXPECT_TRUE(c.ClosedByPeer());
  EXPECT_FALSE(std::filesystem::exists(target));
}

TEST_F(Transfers, UnknownCommandIsShownAndTheServiceGoesOn) {
  directory.Write("small.txt", "abc");
  kvrpctest::RawConnection c(server->Port());
  ASSERT_TRUE(c.Send(std::vector<unsigned char>{'D', 'E', 'L', 0}));
  ASSERT_TRUE(c.Send(std::vector<unsigned char>{'G', 'E', 'T', 0}));
  ASSERT_EQ(c.Receive(256).size(), 256u);
  std::vector<unsigned char> name(256, 0);
  const std::string source = directory.File("small.txt");
  std::copy(source.begin(), source.end(), name.begin());
  ASSERT_TRUE(c.Send(name));
  const std::vector<unsigned char> reply = c.Receive(7);
  EXPECT_EQ(reply, (std::vector<unsigned char>{3, 0, 0, 0, 'a', 'b', 'c'}));
  EXPECT_TRUE(log.Saw("Serveur FTP", "COMMANDE INCONNUE"));
  // A name without its zero within the block ends the service.
  ASSERT_TRUE(c.Send(std::vector<unsigned char>(256, 'F')));  // the acknowledgement
  ASSERT_TRUE(c.Send(std::vector<unsigned char>{'G', 'E', 'T', 0}));
  ASSERT_EQ(c.Receive(256).size(), 256u);
  ASSERT_TRUE(c.Send(std::vector<unsigned char>(256, 'n')));
  EXPECT_TRUE(c.ClosedByPeer());
}

// KV_RPC_LARGE_MB megabytes (100 in the normal suite, 16 under sanitizers) both ways, compared byte
// for byte; step 50 checks that the notice points are computed in 64 bits.
TEST_F(Transfers, LargeFileBothWaysWithProgress) {
  const int64_t megabytes = kvrpctest::Bound("KV_RPC_LARGE_MB", KV_RPC_LARGE_MB);
  const int64_t total = megabytes << 20;
  {
    std::ofstream out(directory.File("big.bin"), std::ios::binary);
    std::string block = kvnettest::PatternBytes(1 << 20, 11);
    for (int64_t i = 0; i < megabytes; ++i) {
      block[0] = static_cast<char>(i);
      block[block.size() / 2] = static_cast<char>(i >> 8);
      out << block;
    }
  }
  ASSERT_EQ(nFTPPut(client, directory.File("big.bin").c_str(), directory.File("up.bin").c_str(),
                    0x8200, 50),
            1);
  ASSERT_TRUE(Finish());
  ASSERT_EQ(observer.Outcome(), 1);
  const std::vector<Notice> up = observer.Progress();
  ASSERT_EQ(up.size(), 2u);
  EXPECT_EQ(up[0].done, total / 2);
  EXPECT_EQ(up[0].total, total);
  EXPECT_EQ(up[1].done, total);
  ASSERT_EQ(
      nFTPGet(client, directory.File("up.bin").c_str(), directory.File("down.bin").c_str(), 0, 0),
      0);
  ASSERT_TRUE(Finish());
  auto same = [](const std::string& a, const std::string& b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::vector<char> p(1 << 20), q(1 << 20);
    for (;;) {
      x.read(p.data(), static_cast<long>(p.size()));
      y.read(q.data(), static_cast<long>(q.size()));
      if (x.gcount() != y.gcount()) return false;
      if (x.gcount() == 0) return true;
      if (!std::equal(p.begin(), p.begin() + x.gcount(), q.begin())) return false;
    }
  };
  EXPECT_EQ(static_cast<int64_t>(std::filesystem::file_size(directory.File("down.bin"))), total);
  EXPECT_TRUE(same(directory.File("big.bin"), directory.File("up.bin")));
  EXPECT_TRUE(same(directory.File("big.bin"), directory.File("down.bin")));
}

TEST_F(Transfers, TransfersNeedAClientOfThisLibrary) {
  EXPECT_EQ(nFTPGet(nullptr, "a", "b", 0, 0), -1);
  EXPECT_EQ(nFTPPut(nullptr, "a", "b", 0, 0), 0);
}

}  // namespace
