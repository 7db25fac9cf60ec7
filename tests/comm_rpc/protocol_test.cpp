// The call protocol as the wire carries it: statuses of the login, the
// module and the lookup, and requests a hostile client may send, which
// must end only that client's session.
#include <gtest/gtest.h>

#include "platform/kernel/threads.h"
#include "tests/comm_rpc/rpc_support.h"

namespace {

using kvrpctest::Join;
using kvrpctest::RawConnection;
using kvrpctest::RawDescriptor;
using kvrpctest::RawHeader;
using kvrpctest::RawStatus;

class Protocol : public ::testing::Test {
 protected:
  void SetUp() override {
    directory.Passwords("alice=Secret\nnobody=\nlong=abcdefghijklmnopq\n");
    server = std::make_unique<kvrpctest::RunningServer>(0);
  }
  // The server answers a fresh session's normal call.
  bool ServerStillServes() {
    clCLIENT* client = kvrpctest::Connect(server->Port());
    if (client == nullptr) return false;
    kvrpctest::CallRecord call("EchoI32", 4);
    call.Value(4, 99, 4);
    const bool ok = call.Run(client) == 0 && call.ResultI32() == 99;
    DeconnecteLibrairie(client);
    return ok;
  }
  kvrpctest::ServerDirectory directory;
  kvrpctest::MessageLog log;
  std::unique_ptr<kvrpctest::RunningServer> server;
};

TEST_F(Protocol, LoginAndLoadingOverTheWire) {
  RawConnection c(server->Port());
  ASSERT_TRUE(c.Send(kvrpctest::RawLoad()));
  EXPECT_EQ(RawStatus(c), 0);
  // A call answers marker 1, status 0, the result's size and bytes.
  ASSERT_TRUE(c.Send(Join({RawHeader("EchoU16", 1, 6), RawDescriptor(1, 6, 0, 2), {0x34, 0x12}})));
  const std::vector<unsigned char> reply = c.Receive(10);
  EXPECT_EQ(reply, (std::vector<unsigned char>{1, 0, 0, 0, 0, 0, 2, 0, 0x34, 0x12}));
  ASSERT_TRUE(c.Send(RawHeader("FreeLibrary", 0)));
  EXPECT_EQ(RawStatus(c), 0);
  ASSERT_TRUE(c.Send(std::string("RPC OK")));
  EXPECT_TRUE(c.ClosedByPeer());
}

TEST_F(Protocol, NotExportedGivesStatusTwoAndEndsTheSession) {
  clCLIENT* client = kvrpctest::Connect(server->Port());
  ASSERT_NE(client, nullptr);
  kvrpctest::CallRecord missing("NoSuchFunction", 4);
  EXPECT_EQ(missing.Run(client), 2);
  EXPECT_TRUE(
      log.Saw("RPC ERROR", "La fonction NoSuchFunction n'est pas disponible sur le serveur"));
  kvrpctest::CallRecord after("EchoI32", 4);
  after.Value(4, 1, 4);
  EXPECT_NE(after.Run(client), 0);  // the session is over: a new connection is needed
  DeconnecteLibrairie(client);
  EXPECT_TRUE(ServerStillServes());
}

TEST_F(Protocol, OtherVersionGivesStatusFourWithoutLogin) {
  RawConnection c(server->Port());
  ASSERT_TRUE(c.Send(RawHeader("LoadLibrary", 0, 1, 2, "unknown", "wrong")));
  EXPECT_EQ(RawStatus(c), 4);
  EXPECT_FALSE(log.Saw("Serveur RPC", "KVRPCSRV.INI"));
}

TEST_F(Protocol, PasswordsIgnoreCaseAndEmptyOnesRefuse) {
  clCLIENT* upper = kvrpctest::Connect(server->Port(), 0, "SECRET");
  EXPECT_NE(upper, nullptr);
  if (upper != nullptr) DeconnecteLibrairie(upper);
  EXPECT_EQ(kvrpctest::Connect(server->Port(), 0, "Secrets"), nullptr);
  EXPECT_TRUE(log.Saw("RPC ERROR", "alice :\nUtilisateur inconnu ou mot de passe incorrect"));
  RawConnection c(server->Port());
  std::vector<unsigned char> load = kvrpctest::RawLoad();
  const std::vector<unsigned char> header = RawHeader("LoadLibrary", 1, 1, 1, "nobody", "");
  std::copy(header.begin(), header.end(), load.begin());
  ASSERT_TRUE(c.Send(load));
  EXPECT_EQ(RawStatus(c), 5);
  // A stored password longer than 15 characters matches nothing.
  RawConnection d(server->Port());
  const std::vector<unsigned char> cut =
      RawHeader("LoadLibrary", 1, 1, 1, "long", "abcdefghijklmno");
  std::copy(cut.begin(), cut.end(), load.begin());
  ASSERT_TRUE(d.Send(load));
  EXPECT_EQ(RawStatus(d), 5);
}

TEST_F(Protocol, MissingPasswordFileIsShownAndRefused) {
  std::remove(directory.File("KVRPCSRV.INI").c_str());
  EXPECT_EQ(kvrpctest::Connect(server->Port()), nullptr);
  EXPECT_TRUE(log.Saw("Serveur RPC",
                      "Fichier des mots de passe (KVRPCSRV.INI) non trouv\xE9 dans "
                      "le r\xE9pertoire du serveur:\r\n" +
                          directory.File("KVRPCSRV.INI")));
}

TEST_F(Protocol, ModuleThatDoesNotLoadGivesStatusOne) {
  EXPECT_EQ(kvrpctest::Connect(server->Port(), 0, "Secret", "*/no/such/module.so"), nullptr);
  EXPECT_TRUE(log.Saw("RPC ERROR",
                      "/no/such/module.so :\nErreur lors du chargement du module sur la machine "
                      "distante"));
}

// Each request refused with status 3, before the server allocates for it.
TEST_F(Protocol, UnsoundRequestsAreRefusedWithStatusThree) {
  std::vector<unsigned char> unterminated = RawHeader("EchoI32", 0, 4);
  std::fill(unterminated.begin() + 50, unterminated.begin() + 82, 'A');
  std::vector<unsigned char> userUnterminated = RawHeader("EchoI32", 0, 4);
  std::fill(userUnterminated.begin() + 2, userUnterminated.begin() + 34, 'u');
  std::vector<unsigned char> passwordUnterminated = RawHeader("EchoI32", 0, 4);
  std::fill(passwordUnterminated.begin() + 34, passwordUnterminated.begin() + 50, 'p');
  const std::vector<std::vector<unsigned char>> requests = {
      Join({RawHeader("EchoI32", 1, 4), RawDescriptor(1, 4, 0, 9)}),           // value of 9 bytes
      Join({RawHeader("EchoI32", 1, 4), RawDescriptor(1, 4, 1, 0x7FFFFFFF)}),  // huge buffer
      Join({RawHeader("EchoI32", 1, 4), RawDescriptor(1, 9, 1, (16u << 20) / 8 + 1)}),
      Join({RawHeader("EchoI32", 1, 4), RawDescriptor(2, 4, 0, 4)}),   // by value, kind out
      Join({RawHeader("EchoI32", 1, 4), RawDescriptor(4, 4, 0, 4)}),   // kind 4
      Join({RawHeader("EchoI32", 1, 4), RawDescriptor(1, 11, 0, 4)}),  // type 11
      Join({RawHeader("EchoI32", 1, 4), RawDescriptor(1, 4, 2, 4)}),   // reference flag 2
      RawHeader("EchoI32", 65, 4),                                     // too many parameters
      RawHeader("LoadLibrary", 0),                                     // no module name
      Join({RawHeader("LoadLibrary", 1), RawDescriptor(1, 5, 1, 3), {'a', 'b', 'c'}}),
      Join({RawHeader("LoadLibrary", 1), RawDescriptor(1, 4, 0, 4), {1, 2, 3, 4}}),
      unterminated,
      userUnterminated,
      passwordUnterminated,
  };
  const size_t blocksBefore = kvp::GlobalLiveBlocks();
  for (size_t i = 0; i < requests.size(); ++i) {
    RawConnection c(server->Port());
    ASSERT_TRUE(c.Send(requests[i]));
    EXPECT_EQ(RawStatus(c), 3) << "request " << i;
    c.Send(std::string("RPC KO"));
    EXPECT_TRUE(c.ClosedByPeer()) << "request " << i;
  }
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocksBefore);
  EXPECT_TRUE(ServerStillServes());
}

TEST_F(Protocol, BuffersAddingUpBeyondTheRequestBoundAreRefused) {
  // Five buffers of 16 MiB announced: the fifth passes the 64 MiB bound. The
  // first four are out buffers (no data follows); the server must refuse at the fifth.
  RawConnection c(server->Port());
  ASSERT_TRUE(c.Send(kvrpctest::RawLoad()));
  ASSERT_EQ(RawStatus(c), 0);
  ASSERT_TRUE(c.Send(RawHeader("Nothing", 5)));
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(c.Send(RawDescriptor(2, 5, 1, 16u << 20)));
  }
  ASSERT_TRUE(c.Send(RawDescriptor(2, 5, 1, 1)));
  EXPECT_EQ(RawStatus(c), 3);
}

TEST_F(Protocol, ClientThatSendsLessThanItAnnouncedEndsOnlyItsSession) {
  {
    RawConnection c(server->Port());
    ASSERT_TRUE(c.Send(kvrpctest::RawLoad()));
    ASSERT_EQ(RawStatus(c), 0);
    // 1000 bytes announced, 10 sent, then the client goes.
    ASSERT_TRUE(c.Send(Join({RawHeader("SumBytes", 2, 7), RawDescriptor(1, 5, 1, 1000),
                             std::vector<unsigned char>(10, 1)})));
    kvrpctest::RawConnection other(server->Port());  // a session opened meanwhile
    ASSERT_TRUE(other.Send(kvrpctest::RawLoad()));
    EXPECT_EQ(RawStatus(other), 0);
    c.Close();
  }
  EXPECT_TRUE(kvnettest::WaitFor([this] { return log.Saw("ReceptProxy", ""); }, 10));
  EXPECT_TRUE(ServerStillServes());
  // A header cut short does the same.
  {
    RawConnection c(server->Port());
    std::vector<unsigned char> half = RawHeader("EchoI32", 0, 4);
    half.resize(40);
    ASSERT_TRUE(c.Send(half));
  }
  EXPECT_TRUE(ServerStillServes());
}

TEST_F(Protocol, SessionsDoNotShareTheirModule) {
  // A session that has loaded nothing cannot call what another loaded.
  clCLIENT* loaded = kvrpctest::Connect(server->Port());
  ASSERT_NE(loaded, nullptr);
  RawConnection bare(server->Port());
  ASSERT_TRUE(
      bare.Send(Join({RawHeader("EchoI32", 1, 4), RawDescriptor(1, 4, 0, 4), {1, 0, 0, 0}})));
  EXPECT_EQ(RawStatus(bare), 2);
  DeconnecteLibrairie(loaded);
}

}  // namespace
