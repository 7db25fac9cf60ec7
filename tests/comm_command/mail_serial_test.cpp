// The e-mail and serial functions through the harness: a Maildir read by
// the mail functions into the Email members bound by command 8, mail
// sessions in the instance's object list, and a pseudo-terminal port opened,
// written and read by the serial functions.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/comm_command/comm_fixture.h"
#include "tests/comm_mail/mail_fixture.h"  // the aiosmtpd server
#include "tests/comm_serial/pty_pair.h"

namespace commcmd {
namespace {

namespace fs = std::filesystem;

class MailAndSerial : public CommTest {
 protected:
  void SetUp() override {
    CommTest::SetUp();
    for (const char* sub : {"new", "cur", "tmp"})
      fs::create_directories(dir_.File("Maildir/") + sub);
    std::ofstream(dir_.File("KVMAPI.INI"))
        << "[Test]\nMaildir=" << dir_.File("Maildir")
        << "\nSmtpServer=127.0.0.1\nSmtpPort=" << FreePort()
        << "\nSender=tester@example.org\nSenderName=Test Sender\n";
    std::ofstream(dir_.File("Maildir/new/1700000100.M1P1Q1.test"), std::ios::binary)
        << "From: Alice Martin <alice@example.org>\r\nTo: bob@example.com\r\n"
           "Subject: Rendez-vous\r\nDate: Tue, 05 Mar 2024 13:07:00 +0000\r\n\r\n"
           "Demain midi.\r\n";
  }

  template <class T>
  T* Member(uint32_t index) {
    VariableDescriptor bound{};
    EXPECT_EQ(library_.BindVariable(index, bound), 1);
    return static_cast<T*>(bound.storage);
  }
};

TEST_F(MailAndSerial, MaildirReadIntoTheBoundEmailMembers) {
  const int32_t session = Call("EMailOuvreSession", 0, {T("Test")}).Integer();
  ASSERT_GT(session, 0);
  const int32_t* error = Member<int32_t>(10);
  const int32_t* out = Member<int32_t>(9);
  CallOutcome first = Call("EMailReadFirst", 1, {I(session), T("TOUT")});
  EXPECT_EQ(first.resultType, 3);
  ASSERT_EQ(first.Boolean(), 1);
  EXPECT_EQ(*error, 0);
  EXPECT_EQ(*out, 0);
  EXPECT_STREQ(Member<char>(0), "Alice Martin");
  EXPECT_STREQ(Member<char>(1), "alice@example.org");
  EXPECT_STREQ(Member<char>(3), "Rendez-vous");
  EXPECT_STREQ(Member<char>(8), "Demain midi.\r\n");
  EXPECT_EQ(*Member<int32_t>(7), 1);
  EXPECT_STREQ(Member<char>(6), "bob@example.com");
  EXPECT_EQ(Call("EMailUpdate", 0, {I(session)}).Boolean(), 1);
  // Past the last message the read succeeds with no current message.
  EXPECT_EQ(Call("EMailLitSuivant", 0, {I(session)}).Boolean(), 1);
  EXPECT_EQ(*out, 1) << "only one message";
  EXPECT_STREQ(Member<char>(3), "");

  // Deleting the message read removes its file from the Maildir.
  ASSERT_EQ(Call("EMailLitPremier", 1, {I(session), T("TOUT")}).Boolean(), 1);
  EXPECT_EQ(Call("EMailDeleteMessage", 0, {I(session)}).Boolean(), 1);
  EXPECT_TRUE(fs::is_empty(dir_.File("Maildir/cur")) && fs::is_empty(dir_.File("Maildir/new")));
  // A mail session is no server, and a server identifier no mail session.
  EXPECT_EQ(Call("NetEndServer", 0, {I(session)}).Boolean(), 0);
  const int32_t port = FreePort();
  const int32_t server = StartServer(0, port);
  ASSERT_NE(server, 0);
  EXPECT_EQ(Call("EMailReadFirst", 0, {I(server)}).Boolean(), 0);
  EXPECT_EQ(*error, 19);
  EXPECT_TRUE(Listening(port));
  Call("EMailFermeSession", 0, {I(session)});
  EXPECT_EQ(*error, 0);
  Call("EMailCloseSession", 0, {I(session)});
  EXPECT_EQ(*error, 19) << "closed already";
}

// The message the program put in the bound Email members goes out through
// an SMTP server on loopback (aiosmtpd, a real process), by the French and
// by the English name; an unknown session sends nothing and sets 19.
TEST_F(MailAndSerial, MessageOfTheBoundMembersIsSentThroughSmtp) {
  mailtest::SmtpServer smtp(dir_.File("Sent"));
  std::ofstream(dir_.File("KVMAPI.INI"), std::ios::trunc)
      << "[Test]\nMaildir=" << dir_.File("Maildir")
      << "\nSmtpServer=127.0.0.1\nSmtpPort=" << smtp.port()
      << "\nSender=tester@example.org\nSenderName=Test Sender\n";
  const int32_t session = Call("EMailStartSession", 0, {T("Test")}).Integer();
  ASSERT_GT(session, 0);
  std::strcpy(Member<char>(3), "Commande 42");
  std::strcpy(Member<char>(6), "carol@example.net");
  *Member<int32_t>(7) = 1;
  *Member<int32_t>(5) = 0;
  std::strcpy(Member<char>(8), "Livraison lundi.\r\n");
  const int32_t* error = Member<int32_t>(10);
  CallOutcome sent = Call("EMailEnvoieMessage", 0, {I(session)});
  EXPECT_EQ(sent.resultType, 3);
  EXPECT_EQ(sent.Boolean(), 1);
  EXPECT_EQ(*error, 0);
  std::strcpy(Member<char>(3), "Commande 43");
  EXPECT_EQ(Call("EMailSendMessage", 1, {I(session), I(0)}).Boolean(), 1);
  EXPECT_EQ(*error, 0);
  EXPECT_EQ(Call("EMailSendMessage", 0, {I(session + 1000)}).Boolean(), 0);
  EXPECT_EQ(*error, 19);
  Call("EMailCloseSession", 0, {I(session)});
  smtp.Stop();
  std::vector<std::string> arrived;
  for (const auto& file : fs::directory_iterator(dir_.File("Sent/new"))) {
    std::ifstream in(file.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    arrived.push_back(bytes.str());
  }
  ASSERT_EQ(arrived.size(), 2u) << "one message per send, none for the unknown session";
  std::sort(arrived.begin(), arrived.end(), [](const std::string& a, const std::string& b) {
    return a.find("Commande 42") != std::string::npos && b.find("Commande 42") == std::string::npos;
  });
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(arrived[i]);
    EXPECT_NE(arrived[i].find(i == 0 ? "Subject: Commande 42" : "Subject: Commande 43"),
              std::string::npos);
    EXPECT_NE(arrived[i].find("carol@example.net"), std::string::npos);
    EXPECT_NE(arrived[i].find("tester@example.org"), std::string::npos);
    EXPECT_NE(arrived[i].find("Livraison lundi."), std::string::npos);
  }
}

TEST_F(MailAndSerial, DestroyingTheInstanceClosesItsMailSessions) {
  ASSERT_GT(Call("EMailStartSession", 0, {T("Test")}).Integer(), 0);
  ASSERT_GT(Call("EMailStartSession", 0, {T("Test")}).Integer(), 0);
  // The sessions' memory goes with them: the leak checker of the sanitizer
  // build sees any session that command 2 left behind.
  EXPECT_TRUE(library_.DestroyInstance());
}

TEST_F(MailAndSerial, PseudoTerminalPortByFrenchAndEnglishNames) {
  commtest::PtyPair pair(dir_.path());
  std::ofstream(dir_.File("win.ini"))
      << "[Ports]\r\nCOM3.Device=" << pair.a() << "\r\nCOM3:=9600,n,8,1\r\n";
  commtest::FarEnd far(pair.b());
  CallOutcome opened = Call("sOuvre", 0, {I(3), I(1024), I(1024)});
  EXPECT_EQ(opened.resultType, 3);
  ASSERT_EQ(opened.Boolean(), 1);
  EXPECT_NE(context().ports[3 + KV_COMM_PORT_BIAS], reinterpret_cast<void*>(~uintptr_t{0}));
  EXPECT_EQ(Call("sParameter", 0, {I(3), I(19200), I(0), I(8), I(0)}).Boolean(), 1);
  EXPECT_EQ(Call("sWrite", 0, {I(3), T("Bonjour")}).Integer(), 7);
  EXPECT_EQ(far.Read(7), "Bonjour");
  far.Write(std::string("r\0p", 3));
  std::string got;
  for (int i = 0; i < 100 && got.size() < 3; ++i) {
    got += Call("sRead", 0, {I(3), I(3 - static_cast<int32_t>(got.size()))}).resultBytes;
    if (got.size() < 3) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(got, std::string("r\0p", 3));
  EXPECT_EQ(Call("sDansFileSortie", 0, {I(3)}).Integer(), 0);
  far.Write("abcd");
  int32_t waiting = 0;
  for (int i = 0; i < 100 && waiting < 4; ++i) {
    waiting = Call(
                  "sDansFileEntr\xe9"
                  "e",
                  0, {I(3)})
                  .Integer();
    if (waiting < 4) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(waiting, 4);
  EXPECT_EQ(Call("sRead", 0, {I(3), I(10)}).resultBytes, "abcd");
  EXPECT_EQ(Call("sEscape", 0, {I(3), T("SETXOFF")}).Boolean(), 1);
  EXPECT_EQ(Call("sEchap", 0, {I(3), T("SETXON")}).Boolean(), 1);
  EXPECT_EQ(Call("sEscape", 0, {I(3), T("NOSUCH")}).Boolean(), 0);
  EXPECT_EQ(Call("sFerme", 0, {I(3)}).returned, 1);
  EXPECT_EQ(context().ports[3 + KV_COMM_PORT_BIAS], reinterpret_cast<void*>(~uintptr_t{0}));
  ASSERT_EQ(Call("sOpen", 0, {I(3), I(1024), I(1024)}).Boolean(), 1);
  // Command 2 closes the port the program left open; the far end sees it.
  EXPECT_TRUE(library_.DestroyInstance());
  EXPECT_EQ(far.Read(1, 1), "");
}

}  // namespace
}  // namespace commcmd
