// The client against a server that lies: replies whose sizes exceed the
// room the call record gives are refused, never copied.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>

#include "tests/comm_rpc/rpc_support.h"

namespace {

// The reply the fake server sends to the call after LoadLibrary.
std::mutex gReplyMutex;
std::vector<unsigned char> gHostileReply;

void SetReply(std::vector<unsigned char> bytes) {
  std::lock_guard<std::mutex> lock(gReplyMutex);
  gHostileReply = std::move(bytes);
}
std::atomic<int> gCallsSeen{0};
std::atomic<bool> gCloseAfterReply{false};

// Reads one request as the protocol lays it out; false when the stream ends.
bool SkipRequest(clCHANNEL* channel) {
  unsigned char header[93];
  if (channel->lRecv(reinterpret_cast<char*>(header), 93) != 93) return false;
  const unsigned count = header[89] | (header[90] << 8);
  for (unsigned i = 0; i < count; ++i) {
    unsigned char d[13];
    if (channel->lRecv(reinterpret_cast<char*>(d), 13) != 13) return false;
    const uint32_t kind = static_cast<uint32_t>(kvrpctest::GetLE(d, 4));
    const uint32_t size = static_cast<uint32_t>(kvrpctest::GetLE(d + 9, 4));
    const uint32_t data = d[8] == 0 ? size : (kind == 2 ? 0 : size);
    std::vector<char> skip(data);
    if (data > 0 && channel->lRecv(skip.data(), data) != static_cast<long>(data)) return false;
  }
  return true;
}

void LyingService(clCHANNEL* channel) {
  if (!SkipRequest(channel)) return;
  const char ok[6] = {1, 0, 0, 0, 0, 0};
  channel->lSendAll(ok, 6);
  while (SkipRequest(channel)) {
    ++gCallsSeen;
    std::vector<unsigned char> reply;
    {
      std::lock_guard<std::mutex> lock(gReplyMutex);
      reply = gHostileReply;
    }
    channel->lSendAll(reinterpret_cast<const char*>(reply.data()), static_cast<long>(reply.size()));
    if (gCloseAfterReply) return;  // the thread destroys the channel: the reply stays cut
  }
}

class ClientTrust : public ::testing::Test {
 protected:
  void SetUp() override {
    port = kvnettest::FreePort();
    server = std::make_unique<clSERVER>(LyingService, port, 0);
    ASSERT_EQ(server->nStart(), 0);
    client = kvrpctest::Connect(port);
    ASSERT_NE(client, nullptr);
    gCallsSeen = 0;
    gCloseAfterReply = false;
  }
  void TearDown() override {
    if (client != nullptr) DeconnecteLibrairie(client);
    server->nStop();
  }
  kvnettest::Session service;
  kvnettest::LocalPin pin{"127.0.0.1"};
  kvrpctest::MessageLog log;
  uint16_t port = 0;
  std::unique_ptr<clSERVER> server;
  clCLIENT* client = nullptr;
};

TEST_F(ClientTrust, ResultLargerThanItsSlotIsRefused) {
  SetReply({1, 0, 0, 0, 0, 0, 9, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  kvrpctest::CallRecord call("Anything", 4);
  EXPECT_EQ(call.Run(client), 10022);
  EXPECT_EQ(call.ResultSize(), 0);
  // The session is out of step: later calls are refused without being sent.
  kvrpctest::CallRecord next("Anything", 4);
  EXPECT_EQ(next.Run(client), 10022);
  EXPECT_EQ(gCallsSeen.load(), 1);
}

TEST_F(ClientTrust, OutDataLargerThanAPlainBufferIsNotCopied) {
  SetReply({1, 0, 0, 0, 0, 0, 64, 0, 0, 0});
  {
    std::lock_guard<std::mutex> lock(gReplyMutex);
    gHostileReply.insert(gHostileReply.end(), 64, 0xEE);
  }
  unsigned char buffer[16 + 8];
  std::memset(buffer, 0x11, sizeof buffer);
  kvrpctest::CallRecord call("Anything", 1);
  call.Reference(2, 5, buffer, 16);
  EXPECT_EQ(call.Run(client), 10022);
  for (unsigned char b : buffer) ASSERT_EQ(b, 0x11);
  EXPECT_EQ(call.SlotPointer(0), buffer);
}

TEST_F(ClientTrust, OutDataBeyondTheBufferBoundIsNotAllocated) {
  SetReply({1, 0, 0, 0, 0, 0, 0x00, 0x00, 0x00, 0x7F});
  kvp::HGLOBAL handle = kvp::GlobalAlloc(kvp::GHND, 8);
  void* block = kvp::GlobalLock(handle);
  kvrpctest::CallRecord call("Anything", 1);
  call.Reference(3, 10, block, 8);
  EXPECT_EQ(call.Run(client), 10022);
  EXPECT_EQ(call.SlotPointer(0), block);
  EXPECT_EQ(kvp::GlobalSize(handle), 8u);
  kvp::GlobalUnlock(handle);
  kvp::GlobalFree(handle);
}

TEST_F(ClientTrust, WrongMarkerAndUnknownStatusAreNotTakenForSuccess) {
  SetReply({2, 0, 0, 0, 0, 0});
  kvrpctest::CallRecord call("Anything", 1);
  EXPECT_EQ(call.Run(client), 10022);
}

TEST_F(ClientTrust, UnreferencedStatusIsShownAsSuch) {
  SetReply({1, 0, 99, 0, 0, 0});
  kvrpctest::CallRecord call("Anything", 1);
  EXPECT_EQ(call.Run(client), 99);
  EXPECT_TRUE(log.Saw("RPC ERROR",
                      "Erreur non r\xE9"
                      "f\xE9renc\xE9"
                      "e"));
}

TEST_F(ClientTrust, ServerThatClosesMidReplyGivesASocketError) {
  SetReply({1, 0, 0, 0, 0, 0, 4, 0, 1, 2});
  gCloseAfterReply = true;
  kvrpctest::CallRecord call("Anything", 4);
  const long outcome = call.Run(client);
  EXPECT_NE(outcome, 0);
  EXPECT_NE(outcome, 10022);
}

}  // namespace
