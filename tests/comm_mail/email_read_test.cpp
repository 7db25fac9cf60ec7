// Reading, deleting and updating through the NET_bEMail functions, with
// libkvmapi.so loaded by the name MAPI32.DLL over a temporary Maildir.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "tests/comm_mail/mail_fixture.h"
#include "tests/comm_mail/sample_messages.h"

namespace {

namespace fs = std::filesystem;
using commtest::Text;
using mailtest::MailTest;

class EmailRead : public MailTest {
 protected:
  void PlaceThree() {
    // Delivery order is the names' times, not the order of the folder.
    Place("1700000300.M000001P1Q3.test", mailtest::MultipartWithAttachments());
    Place("1700000100.M000001P1Q1.test", mailtest::kPlain);
    Place("1700000200.M000001P1Q2.test:2,", mailtest::kQuotedLatin1, "cur");
  }
  std::string Sub(const std::string& id) {
    for (const char* sub : {"new", "cur"}) {
      for (const auto& e : fs::directory_iterator(Maildir() + "/" + sub)) {
        const std::string name = e.path().filename().string();
        if (name.rfind(id, 0) == 0) return std::string(sub) + "/" + name;
      }
    }
    return "";
  }
};

TEST_F(EmailRead, MessagesComeInDeliveryOrderWithEveryMember) {
  PlaceThree();
  const int32_t session = OpenSession();
  ASSERT_GT(session, 0);
  EXPECT_EQ(email().error, 0);
  EXPECT_EQ(email().out, 1);

  ASSERT_TRUE(ReadFirst(session));
  EXPECT_EQ(email().out, 0);
  EXPECT_STREQ(email().sender, "Alice Martin");
  EXPECT_STREQ(email().senderAddress, "alice@example.org");
  EXPECT_STREQ(email().receiveDate, "2024/03/05 13:07");
  EXPECT_STREQ(email().subject, "Hello");
  EXPECT_EQ(text(), "First line\r\nSecond line\r\n");
  EXPECT_EQ(email().recipientCount, 1);
  EXPECT_STREQ(email().recipients[0], "bob@example.com");
  EXPECT_EQ(email().attachCount, 0);
  EXPECT_EQ(Sub("1700000100"), "cur/1700000100.M000001P1Q1.test:2,S");

  ASSERT_TRUE(ReadNext(session));
  EXPECT_STREQ(email().sender, "Ren\xe9 Dupr\xe9");
  EXPECT_STREQ(email().subject, "Caf\xe9 \x80 50");
  EXPECT_EQ(email().recipientCount, 3);  // two To, one Cc
  EXPECT_STREQ(email().recipients[2], "dave@example.org");
  EXPECT_EQ(text(), "Le caf\xe9 co\xfbte 2 francs.\r\n");
  EXPECT_EQ(Sub("1700000200"), "cur/1700000200.M000001P1Q2.test:2,S");

  ASSERT_TRUE(ReadNext(session));
  EXPECT_STREQ(email().subject, "Files");
  ASSERT_EQ(email().attachCount, 2);
  const std::string data = email().attach[0];
  const std::string notes = email().attach[1];
  EXPECT_EQ(fs::path(data).filename(), "data.bin");
  EXPECT_EQ(mailtest::ReadFileBytes(data), mailtest::BinaryBytes());
  // A name with folders in it keeps only its last part, inside the
  // message's own temporary folder.
  EXPECT_EQ(fs::path(notes).filename(), "notes.txt");
  EXPECT_EQ(fs::path(notes).parent_path(), fs::path(data).parent_path());
  EXPECT_EQ(mailtest::ReadFileBytes(notes), "line one");

  // After the last message: true, EnDehors 1, Erreur 0, and the files of the
  // message before are gone with it.
  ASSERT_TRUE(ReadNext(session));
  EXPECT_EQ(email().out, 1);
  EXPECT_EQ(email().error, 0);
  EXPECT_EQ(email().subject[0], '\0');
  EXPECT_FALSE(fs::exists(data));
  EXPECT_FALSE(fs::exists(fs::path(data).parent_path()));
  // And the walk starts again from the first.
  ASSERT_TRUE(ReadNext(session));
  EXPECT_STREQ(email().subject, "Hello");
}

TEST_F(EmailRead, TheUnreadFilterSearchesFromTheStartEveryTime) {
  PlaceThree();
  fs::rename(Maildir() + "/cur/1700000200.M000001P1Q2.test:2,",
             Maildir() + "/cur/1700000200.M000001P1Q2.test:2,S");  // read already
  const int32_t session = OpenSession();
  ASSERT_TRUE(ReadFirst(session, "NON LUS"));
  EXPECT_STREQ(email().subject, "Hello");
  ASSERT_TRUE(Run(NET_bEMailLitSuivant, {session, Text{"NO"}}, 1).Boolean());
  EXPECT_STREQ(email().subject, "Files");
  ASSERT_TRUE(Run(NET_bEMailLitSuivant, {session, Text{"NO"}}, 1).Boolean());
  EXPECT_EQ(email().out, 1);
  // Everything is read now; the plain filter still walks all three.
  ASSERT_TRUE(ReadFirst(session, "TOUT"));
  EXPECT_STREQ(email().subject, "Hello");
}

TEST_F(EmailRead, DeletingRemovesTheFileAndTwiceAnswers17) {
  PlaceThree();
  const int32_t session = OpenSession();
  ASSERT_TRUE(ReadFirst(session));
  ASSERT_TRUE(ReadNext(session));  // the second message
  ASSERT_EQ(Run(NET_bEMailSupprimeMessage, {session}).Boolean(), 1);
  EXPECT_EQ(Sub("1700000200"), "");
  EXPECT_EQ(email().out, 1);
  EXPECT_EQ(email().subject[0], '\0');
  commtest::Outcome again = Run(NET_bEMailSupprimeMessage, {session});
  EXPECT_EQ(again.Boolean(), 0);
  EXPECT_EQ(email().error, 17);
  // Reading goes on after the deleted message.
  ASSERT_TRUE(ReadNext(session));
  EXPECT_STREQ(email().subject, "Files");
  EXPECT_EQ(Sub("1700000100"), "cur/1700000100.M000001P1Q1.test:2,S");
}

TEST_F(EmailRead, AMessageDeletedBehindTheReaderIsSkipped) {
  PlaceThree();
  const int32_t session = OpenSession();
  ASSERT_TRUE(ReadFirst(session));
  fs::remove(Maildir() + "/cur/1700000200.M000001P1Q2.test:2,");  // by another program
  ASSERT_TRUE(ReadNext(session));
  EXPECT_STREQ(email().subject, "Files");
}

TEST_F(EmailRead, UpdateReportsUndeliveredMailAndLeavesOtherMailUnread) {
  Place("1700000100.M1P1Q1.test", mailtest::kPlain);
  const int32_t session = OpenSession();
  EXPECT_EQ(Run(NET_bEMailMiseAJour, {session}).Boolean(), 1);
  EXPECT_EQ(email().error, 0);
  EXPECT_EQ(Sub("1700000100"), "cur/1700000100.M1P1Q1.test:2,") << "looked at, not read";

  Place("1700000050.M1P1Q1.test",
        "From: =?ISO-8859-1?Q?Administrateur_syst=E8me?= <postmaster@example.org>\r\n"
        "Subject: Non remis: Hello\r\n\r\nThe message could not be delivered.\r\n");
  EXPECT_EQ(Run(NET_bEMailMiseAJour, {session}).Boolean(), 0);
  EXPECT_EQ(email().error, 30);
  // Nothing unread at all: success.
  ASSERT_TRUE(ReadFirst(session));
  ASSERT_TRUE(ReadNext(session));
  EXPECT_EQ(Run(NET_bEMailMiseAJour, {session}).Boolean(), 1);
}

TEST_F(EmailRead, UnknownOrClosedSessionsAnswer19) {
  Place("1700000100.M1P1Q1.test", mailtest::kPlain);
  const int32_t first = OpenSession();
  const int32_t second = OpenSession();
  ASSERT_GT(first, 0);
  ASSERT_GT(second, 0);
  EXPECT_NE(first, second);
  EXPECT_LT(first, 1 << 20) << "identifiers come from a table, not from addresses";
  commtest::Outcome closed = Run(NET_bEMailFermeSession, {first});
  EXPECT_EQ(closed.returned, 1);
  EXPECT_EQ(email().error, 0);
  for (int32_t id : {first, 0, -1, second + 1000}) {
    EXPECT_EQ(Run(NET_bEMailLitPremier, {id}).Boolean(), 0) << id;
    EXPECT_EQ(email().error, 19);
    email().error = 0;
    EXPECT_EQ(Run(NET_bEMailSupprimeMessage, {id}).Boolean(), 0);
    EXPECT_EQ(email().error, 19);
    email().error = 0;
    EXPECT_EQ(Run(NET_bEMailMiseAJour, {id}).Boolean(), 0);
    EXPECT_EQ(email().error, 19);
    email().error = 0;
    EXPECT_EQ(Run(NET_bEMailEnvoieMessage, {id}).Boolean(), 0);
    EXPECT_EQ(email().error, 19);
    EXPECT_EQ(Run(NET_bEMailFermeSession, {id}).returned, 1);
    EXPECT_EQ(email().error, 19);
  }
  // A session belongs to the instance that opened it.
  CommRecord otherRecord{};
  kv::comm::InitEmailState(otherRecord, nullptr);
  CommInstanceContext other{};
  other.record = &otherRecord;
  commtest::Outcome foreign = commtest::Call(NET_bEMailLitPremier, &other, 0, {second});
  EXPECT_EQ(foreign.Boolean(), 0);
  EXPECT_EQ(otherRecord.email.error, 19);
  EXPECT_TRUE(ReadFirst(second));
}

TEST_F(EmailRead, FailedOpeningsShowTheirTexts) {
  EXPECT_EQ(OpenSession("NoSuchProfile"), 0);
  EXPECT_EQ(email().error, 2);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].caption, "Erreur Mail Internet");
  EXPECT_EQ(boxes_[0].text,
            "Absence de logon par d\xe9"
            "faut: le 'user' a \xe9"
            "chou\xe9.\nLa session mail "
            "n'est pas retourn\xe9"
            "e.");
  EXPECT_EQ(boxes_[0].type, kvp::MB_ICONSTOP);

  boxes_.clear();
  ::setenv("KV_MODULE_MAPI32_DLL", dir_.File("libmissing.so").c_str(), 1);
  EXPECT_EQ(OpenSession(), 0);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[0].text, "Impossible de charger MAPI32.DLL");
  EXPECT_EQ(boxes_[0].caption, "Erreur");
  EXPECT_EQ(boxes_[1].text, "Echec lors du chargement de la DLL MAPI");

  // A library without the entry points.
  boxes_.clear();
  ::setenv("KV_MODULE_MAPI32_DLL", "libkvplatform.so", 1);
  EXPECT_EQ(OpenSession(), 0);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[0].text, "GetProcAddress(MAPILogon) impossible");
  EXPECT_EQ(boxes_[1].text, "Echec lors du chargement de la DLL MAPI");
  ::unsetenv("KV_MODULE_MAPI32_DLL");
}

TEST_F(EmailRead, OtherSyntaxesGiveZero) {
  const int32_t session = OpenSession();
  EXPECT_EQ(Run(NET_bEMailLitPremier, {session}, 3).returned, 0);
  EXPECT_EQ(Run(NET_bEMailOuvreSession, {Text{"Test"}}, 1).returned, 0);
  EXPECT_EQ(Run(NET_bEMailSupprimeMessage, {session}, 1).returned, 0);
  EXPECT_EQ(Run(NET_bEMailEnvoieMessage, {session}, -1).returned, 0);
  EXPECT_EQ(NET_bEMailLitSuivant(nullptr), 0);
}

TEST(EmailFill, MembersAreCutToTheirSizesAndAddressesLoseTheirPrefix) {
  EXPECT_EQ(kv::comm::AddressPart("SMTP:a@b.c"), "a@b.c");
  EXPECT_EQ(kv::comm::AddressPart("a@b.c"), "a@b.c");  // no ':' at all
  EXPECT_EQ(kv::comm::AddressPart("X400:c=fr:o=x"), "c=fr:o=x");
  std::vector<char> block(KV_EMAIL_MESSAGE_SIZE, 'x');
  CommRecord record{};
  kv::comm::InitEmailState(record, block.data());
  std::string longText(40000, 'm'), longSubject(300, 's');
  std::vector<MapiRecipDesc> recipients(25);
  std::vector<std::string> addresses(25);
  for (size_t i = 0; i < recipients.size(); ++i) {
    addresses[i] = "SMTP:r" + std::to_string(i) + "@x.org";
    recipients[i].lpszAddress = addresses[i].data();
  }
  std::vector<MapiFileDesc> files(12);
  std::string path(400, 'p');
  for (MapiFileDesc& f : files) f.lpszPathName = path.data();
  files[1].lpszPathName = nullptr;
  MapiRecipDesc origin{};
  std::string name = "Plain Address";
  std::string address = "plain@x.org";
  origin.lpszName = name.data();
  origin.lpszAddress = address.data();
  MapiMessage m{};
  m.lpszSubject = longSubject.data();
  m.lpszNoteText = longText.data();
  m.lpOriginator = &origin;
  m.nRecipCount = 25;
  m.lpRecips = recipients.data();
  m.nFileCount = 12;
  m.lpFiles = files.data();
  kv::comm::FillEmail(record, m);
  EXPECT_EQ(std::strlen(record.email.subject), 127u);
  EXPECT_EQ(std::strlen(block.data()), 31999u);
  EXPECT_EQ(record.email.recipientCount, 20);
  EXPECT_STREQ(record.email.recipients[19], "r19@x.org");
  EXPECT_EQ(record.email.attachCount, 10);
  EXPECT_EQ(std::strlen(record.email.attach[0]), 255u);
  EXPECT_STREQ(record.email.attach[1], "");
  EXPECT_STREQ(record.email.senderAddress, "plain@x.org");
  EXPECT_STREQ(record.email.receiveDate, "");
}

}  // namespace
