// The provider's entry points called directly, as any Simple MAPI client
// would: saving a new message, peeking, freeing, and refusals.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kv/simple_mapi.h"
#include "platform/kernel/system.h"
#include "tests/comm_mail/mail_fixture.h"
#include "tests/comm_mail/sample_messages.h"

namespace {

using mailtest::MailTest;

class ProviderCalls : public MailTest {
 protected:
  void SetUp() override {
    MailTest::SetUp();
    library_ = kvp::LoadLibraryA("MAPI32.DLL");
    ASSERT_NE(library_, nullptr);
    logon_ = reinterpret_cast<LPMAPILOGON>(kvp::GetProcAddress(library_, "MAPILogon"));
    logoff_ = reinterpret_cast<LPMAPILOGOFF>(kvp::GetProcAddress(library_, "MAPILogoff"));
    find_ = reinterpret_cast<LPMAPIFINDNEXT>(kvp::GetProcAddress(library_, "MAPIFindNext"));
    read_ = reinterpret_cast<LPMAPIREADMAIL>(kvp::GetProcAddress(library_, "MAPIReadMail"));
    save_ = reinterpret_cast<LPMAPISAVEMAIL>(kvp::GetProcAddress(library_, "MAPISaveMail"));
    free_ = reinterpret_cast<LPMAPIFREEBUFFER>(kvp::GetProcAddress(library_, "MAPIFreeBuffer"));
    ASSERT_TRUE(logon_ && logoff_ && find_ && read_ && save_ && free_);
    char profile[] = "Test";
    ASSERT_EQ(logon_(0, profile, nullptr, MAPI_NEW_SESSION, 0, &session_), 0u);
  }
  void TearDown() override {
    if (logoff_ != nullptr && session_ != 0) logoff_(session_, 0, 0, 0);
    if (library_ != nullptr) kvp::FreeLibrary(library_);
    MailTest::TearDown();
  }
  void* library_ = nullptr;
  LPMAPILOGON logon_ = nullptr;
  LPMAPILOGOFF logoff_ = nullptr;
  LPMAPIFINDNEXT find_ = nullptr;
  LPMAPIREADMAIL read_ = nullptr;
  LPMAPISAVEMAIL save_ = nullptr;
  LPMAPIFREEBUFFER free_ = nullptr;
  LHANDLE session_ = 0;
};

TEST_F(ProviderCalls, ASavedMessageIsFoundAndReadBack) {
  std::string subject = "Brouillon \x80", text = "Texte\r\n";
  MapiMessage draft{};
  draft.lpszSubject = subject.data();
  draft.lpszNoteText = text.data();
  char id[MAPI_LONG_MSGID_SIZE] = {};
  ASSERT_EQ(save_(session_, 0, &draft, 0, 0, id), 0u);
  ASSERT_NE(id[0], '\0');
  char empty[1] = {}, found[MAPI_LONG_MSGID_SIZE] = {};
  ASSERT_EQ(find_(session_, 0, nullptr, empty, MAPI_LONG_MSGID, 0, found), 0u);
  EXPECT_STREQ(found, id);
  MapiMessage* message = nullptr;
  ASSERT_EQ(read_(session_, 0, found, MAPI_PEEK, 0, &message), 0u);
  EXPECT_STREQ(message->lpszSubject, subject.c_str());
  EXPECT_STREQ(message->lpszNoteText, text.c_str());
  EXPECT_EQ(message->flFlags & MAPI_UNREAD, MAPI_UNREAD) << "peeking does not mark it read";
  EXPECT_EQ(free_(message), 0u);
  EXPECT_NE(free_(message), 0u) << "a buffer is freed once";
  EXPECT_EQ(free_(nullptr), 0u);
}

TEST_F(ProviderCalls, ShortIdentifierBuffersAndBadArgumentsAreRespected) {
  // An identifier of 70 characters does not fit a 64-byte buffer.
  Place("1700000001." + std::string(60, 'L'), mailtest::kPlain);
  Place("1700000002.M1P1Q1.short", mailtest::kPlain);
  char empty[1] = {}, found[MAPI_LONG_MSGID_SIZE] = {};
  ASSERT_EQ(find_(session_, 0, nullptr, empty, 0, 0, found), 0u);
  EXPECT_STREQ(found, "1700000002.M1P1Q1.short");
  ASSERT_EQ(find_(session_, 0, nullptr, empty, MAPI_LONG_MSGID, 0, found), 0u);
  EXPECT_EQ(std::strlen(found), 71u);
  char other[] = "IPX.Other";
  EXPECT_EQ(find_(session_, 0, other, empty, MAPI_LONG_MSGID, 0, found), 16u);
  EXPECT_EQ(find_(session_ + 1000, 0, nullptr, empty, 0, 0, found), 19u);
  MapiMessage* message = nullptr;
  char missing[] = "no-such-message";
  EXPECT_EQ(read_(session_, 0, missing, 0, 0, &message), 17u);
  EXPECT_EQ(message, nullptr);
  EXPECT_EQ(read_(session_, 0, found, 0, 0, nullptr), 2u);
}

}  // namespace
