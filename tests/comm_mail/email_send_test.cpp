// Sending through an aiosmtpd server on 127.0.0.1 that delivers into a
// Maildir, and reading what arrived back through our provider.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "tests/comm_mail/mail_fixture.h"
#include "tests/comm_mail/sample_messages.h"

namespace {

namespace fs = std::filesystem;
using commtest::Text;
using mailtest::MailTest;

class EmailSend : public MailTest {
 protected:
  void SetUp() override {
    MailTest::SetUp();
    server_ = std::make_unique<mailtest::SmtpServer>(SentDir());
    WriteProfiles(server_->port());
  }
  void TearDown() override {
    server_.reset();
    MailTest::TearDown();
  }

  void SetRecipients(const std::vector<std::string>& to) {
    for (size_t i = 0; i < to.size(); ++i) {
      std::strncpy(email().recipients[i], to[i].c_str(), KV_EMAIL_NAME_SIZE - 1);
    }
    email().recipientCount = static_cast<int32_t>(to.size());
  }
  void SetAttachments(const std::vector<std::string>& paths) {
    for (size_t i = 0; i < paths.size(); ++i) {
      std::strncpy(email().attach[i], paths[i].c_str(), KV_EMAIL_ATTACH_SIZE - 1);
    }
    email().attachCount = static_cast<int32_t>(paths.size());
  }
  size_t Delivered() const {
    size_t count = 0;
    for (const char* sub : {"new", "cur"}) {
      std::error_code error;
      for (fs::directory_iterator it(SentDir() + "/" + sub, error), end; !error && it != end;
           it.increment(error)) {
        ++count;
      }
    }
    return count;
  }

  std::unique_ptr<mailtest::SmtpServer> server_;
};

TEST_F(EmailSend, ADeliveredMessageReadsBackWithRecipientsAndAttachmentsByteForByte) {
  const int32_t session = OpenSession();
  ASSERT_GT(session, 0);
  const std::string binary = mailtest::WriteFile(dir_.File("scan.bin"), mailtest::BinaryBytes());
  const std::string notes = mailtest::WriteFile(dir_.File("notes.txt"), "caf\xe9\r\n\r\n.\r\nend");
  SetRecipients({"anne@example.org", "bernard@example.net"});
  SetAttachments({binary, notes});
  std::strcpy(email().subject, "Caf\xe9 \x80 total");
  std::strcpy(message_.data(), "Bonjour,\r\nle caf\xe9 est pr\xeat.\r\n.\r\nFin");
  commtest::Outcome sent = Run(NET_bEMailEnvoieMessage, {session});
  ASSERT_EQ(sent.Boolean(), 1) << email().error;
  EXPECT_EQ(email().error, 0);
  ASSERT_EQ(Delivered(), 1u);

  const int32_t inbox = OpenSession("Sent");
  ASSERT_GT(inbox, 0);
  ASSERT_TRUE(ReadFirst(inbox));
  EXPECT_STREQ(email().subject, "Caf\xe9 \x80 total");
  EXPECT_STREQ(email().sender, "Test Sender");
  EXPECT_STREQ(email().senderAddress, "tester@example.org");
  EXPECT_EQ(text(), "Bonjour,\r\nle caf\xe9 est pr\xeat.\r\n.\r\nFin");
  ASSERT_EQ(email().recipientCount, 2);
  EXPECT_STREQ(email().recipients[0], "anne@example.org");
  EXPECT_STREQ(email().recipients[1], "bernard@example.net");
  ASSERT_EQ(email().attachCount, 2);
  EXPECT_EQ(fs::path(email().attach[0]).filename(), "scan.bin");
  EXPECT_EQ(mailtest::ReadFileBytes(email().attach[0]), mailtest::BinaryBytes());
  EXPECT_EQ(fs::path(email().attach[1]).filename(), "notes.txt");
  EXPECT_EQ(mailtest::ReadFileBytes(email().attach[1]), "caf\xe9\r\n\r\n.\r\nend");
  EXPECT_STRNE(email().receiveDate, "");
}

TEST_F(EmailSend, CountsTheArraysCannotHoldAreRefusedBeforeAnythingIsSent) {
  const int32_t session = OpenSession();
  SetRecipients({"anne@example.org"});
  for (int32_t count : {21, -1, 1 << 30}) {
    email().recipientCount = count;
    EXPECT_EQ(Run(NET_bEMailEnvoieMessage, {session}).Boolean(), 0);
    EXPECT_EQ(email().error, 10) << count;
  }
  email().recipientCount = 1;
  for (int32_t count : {11, -5}) {
    email().attachCount = count;
    EXPECT_EQ(Run(NET_bEMailEnvoieMessage, {session}).Boolean(), 0);
    EXPECT_EQ(email().error, 9) << count;
  }
  EXPECT_EQ(Delivered(), 0u);
}

TEST_F(EmailSend, ProviderRefusalsKeepTheirCodes) {
  const int32_t session = OpenSession();
  SetRecipients({"anne@example.org"});
  SetAttachments({dir_.File("no-such-file.pdf")});
  EXPECT_EQ(Run(NET_bEMailEnvoieMessage, {session}).Boolean(), 0);
  EXPECT_EQ(email().error, 11);
  SetAttachments({});
  SetRecipients({"nobody"});  // no '@': nothing SMTP can deliver to
  EXPECT_EQ(Run(NET_bEMailEnvoieMessage, {session}).Boolean(), 0);
  EXPECT_EQ(email().error, 14);
  SetRecipients({});
  EXPECT_EQ(Run(NET_bEMailEnvoieMessage, {session}).Boolean(), 0);
  EXPECT_EQ(email().error, 25);
  EXPECT_EQ(Delivered(), 0u);
}

TEST_F(EmailSend, TheDialogFlagAsksThroughTheDialogHook) {
  const int32_t session = OpenSession();
  SetRecipients({"anne@example.org"});
  std::strcpy(email().subject, "Asked");
  answer_ = kvp::IDCANCEL;
  EXPECT_EQ(Run(NET_bEMailEnvoieMessage, {session, 1}, 1).Boolean(), 0);
  EXPECT_EQ(email().error, 1);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(boxes_[0].text.find("Asked"), std::string::npos);
  EXPECT_EQ(Delivered(), 0u);
  answer_ = kvp::IDOK;
  EXPECT_EQ(Run(NET_bEMailEnvoieMessage, {session, 1, Text{"IPM.Note"}}, 2).Boolean(), 1);
  EXPECT_EQ(Delivered(), 1u);
  boxes_.clear();
  EXPECT_EQ(Run(NET_bEMailEnvoieMessage, {session, 0}, 1).Boolean(), 1);
  EXPECT_TRUE(boxes_.empty()) << "no dialog without the flag";
  EXPECT_EQ(Delivered(), 2u);
}

TEST_F(EmailSend, AServerThatIsGoneIsANetworkFailure) {
  const int32_t session = OpenSession();
  SetRecipients({"anne@example.org"});
  server_->Stop();
  EXPECT_EQ(Run(NET_bEMailEnvoieMessage, {session}).Boolean(), 0);
  EXPECT_EQ(email().error, 23);
}

}  // namespace
