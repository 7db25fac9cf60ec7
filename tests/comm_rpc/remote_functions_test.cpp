// The remote functions against the helpers the server exports (the
// session loads libkvcomm.so itself): message boxes, program starts, the
// drive list and directory lists, with the client's buffer size as the
// helpers' bound.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/kernel/threads.h"
#include "tests/comm_rpc/rpc_support.h"

namespace {

class RemoteFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    directory.Passwords("alice=Secret\n");
    server = std::make_unique<kvrpctest::RunningServer>(0);
    client = kvrpctest::Connect(server->Port(), 0, "Secret", "*" KV_COMM_LIBRARY);
    ASSERT_NE(client, nullptr);
  }
  void TearDown() override {
    if (client != nullptr) DeconnecteLibrairie(client);
    EXPECT_TRUE(server->Stop());
    unsetenv("KV_DRIVES");
  }
  kvrpctest::ServerDirectory directory;
  kvrpctest::MessageLog log;
  std::unique_ptr<kvrpctest::RunningServer> server;
  clCLIENT* client = nullptr;
};

TEST_F(RemoteFunctions, MessageBoxIsShownOnTheServerAndItsAnswerComesBack) {
  char text[] = "Bonjour de loin";
  char caption[] = "Essai";
  EXPECT_EQ(REM_MessageBox(client, nullptr, text, sizeof text, caption, sizeof caption,
                           kvp::MB_OKCANCEL | kvp::MB_DEFBUTTON2),
            static_cast<unsigned long>(kvp::IDOK));
  EXPECT_TRUE(log.Saw("Essai", "Bonjour de loin"));
}

TEST_F(RemoteFunctions, DriveListFollowsTheConfiguredDrives) {
  const std::string a = directory.Path() + "/floppy";
  const std::string f = directory.Path() + "/share";
  std::filesystem::create_directory(a);
  std::filesystem::create_directory(f);
  const std::string drives = "A:removable=" + a + ";C:fixed=/;F:remote=" + f;
  setenv("KV_DRIVES", drives.c_str(), 1);
  EXPECT_EQ(KVGetLogicalDrives(client), (1ul << 0) | (1ul << 2) | (1ul << 5));
  char list[64];
  std::memset(list, 'z', sizeof list);
  KVRecupDisqueLogique(client, list, sizeof list);
  EXPECT_STREQ(list, "A: FD \r\nC: HD \r\nF: NW \r\n");
  // A buffer too small for the list gets its whole lines only.
  char small[20];
  std::memset(small, 'z', sizeof small);
  KVRecupDisqueLogique(client, small, sizeof small);
  EXPECT_STREQ(small, "A: FD \r\nC: HD \r\n");
}

TEST_F(RemoteFunctions, DirectoryListGivesSizesInKilobytes) {
  std::filesystem::create_directory(directory.File("sub"));
  directory.Write("empty.dat", "");
  directory.Write("a1023.dat", std::string(1023, 'a'));
  directory.Write("b2047.dat", std::string(2047, 'b'));
  directory.Write("c2048.dat", std::string(2048, 'c'));
  directory.Write("other.txt", "x");
  std::string pattern = directory.Path() + "/*.DAT";
  char buffer[512] = {};
  const unsigned long count =
      KVDir(client, pattern.data(), static_cast<long>(pattern.size() + 1), buffer, sizeof buffer);
  EXPECT_EQ(count, 4u);
  const std::string list = buffer;
  EXPECT_EQ(list.rfind("\\DIRECTORIES\\FILES", 0), 0u) << list;
  EXPECT_NE(list.find("\\empty.dat/0"), std::string::npos) << list;
  EXPECT_NE(list.find("\\a1023.dat/1"), std::string::npos) << list;
  EXPECT_NE(list.find("\\b2047.dat/1"), std::string::npos) << list;
  EXPECT_NE(list.find("\\c2048.dat/2"), std::string::npos) << list;
  EXPECT_EQ(list.find("other.txt"), std::string::npos);
  // Every entry with "*.*": directories first, "." and ".." among them.
  std::string all = directory.Path() + "/*.*";
  char everything[512] = {};
  EXPECT_EQ(
      KVDir(client, all.data(), static_cast<long>(all.size() + 1), everything, sizeof everything),
      9u);  // ".", "..", "sub", five files, KVRPCSRV.INI
  const std::string full = everything;
  EXPECT_LT(full.find("\\sub"), full.find("\\FILES"));
  EXPECT_LT(full.find("\\.."), full.find("\\FILES"));
}

TEST_F(RemoteFunctions, DirectoryListStopsAtTheClientsBufferSize) {
  for (int i = 0; i < 50; ++i) directory.Write("file" + std::to_string(i) + ".dat", "x");
  std::string pattern = directory.Path() + "/*.dat";
  char buffer[64 + 16];
  std::memset(buffer, 'G', sizeof buffer);
  const unsigned long count =
      KVDir(client, pattern.data(), static_cast<long>(pattern.size() + 1), buffer, 64);
  const std::string list(buffer);
  EXPECT_LT(list.size(), 64u);
  // Only whole entries, counted.
  size_t entries = 0;
  for (size_t at = list.find("\\file"); at != std::string::npos; at = list.find("\\file", at + 1))
    ++entries;
  EXPECT_EQ(count, entries);
  EXPECT_EQ(list.back(), '1');
  for (size_t i = 64; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 'G');
}

TEST_F(RemoteFunctions, NothingMatchingGivesMinusOne) {
  std::string pattern = directory.Path() + "/*.none";
  char buffer[64] = {};
  EXPECT_EQ(static_cast<int32_t>(
                KVDir(client, pattern.data(), static_cast<long>(pattern.size() + 1), buffer, 64)),
            -1);
}

TEST_F(RemoteFunctions, WinExecStartsAProgramWithoutAShell) {
  const std::string made = directory.File("made by winexec");
  std::string line = "touch \"" + made + "\"";
  EXPECT_GT(REM_WinExec(client, line.data(), static_cast<long>(line.size() + 1), 1), 31u);
  EXPECT_TRUE(kvnettest::WaitFor([&made] { return std::filesystem::exists(made); }, 10));
  // No shell: a ';' is an argument, not a second command.
  const std::string second = directory.File("second");
  std::string chained = "true ; touch " + second;
  REM_WinExec(client, chained.data(), static_cast<long>(chained.size() + 1), 1);
  std::string missing = "no-such-program-here";
  EXPECT_EQ(REM_WinExec(client, missing.data(), static_cast<long>(missing.size() + 1), 1), 2u);
  kvp::Sleep(200);
  EXPECT_FALSE(std::filesystem::exists(second));
}

}  // namespace
