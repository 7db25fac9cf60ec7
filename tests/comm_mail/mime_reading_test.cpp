// The provider's reading of messages and its Windows-1252 conversion, on
// their own.
#include <gtest/gtest.h>

#include <string>

#include "comm/mail/provider/maildir.h"
#include "comm/mail/provider/parsed_message.h"
#include "tests/comm_mail/sample_messages.h"

namespace {

using kvmapi::ParseMessage;

TEST(MimeReading, PlainMessage) {
  const kvmapi::ParsedMessage m = ParseMessage(mailtest::kPlain);
  EXPECT_EQ(m.from.name, "Alice Martin");
  EXPECT_EQ(m.from.address, "alice@example.org");
  ASSERT_EQ(m.to.size(), 1u);
  EXPECT_EQ(m.to[0].address, "bob@example.com");
  EXPECT_EQ(m.subject, "Hello");
  EXPECT_EQ(m.date, "2024/03/05 13:07");  // TZ=UTC
  EXPECT_EQ(m.text, "First line\r\nSecond line\r\n");
  EXPECT_TRUE(m.attachments.empty());
}

TEST(MimeReading, EncodedHeadersAndQuotedPrintableLatin1) {
  const kvmapi::ParsedMessage m = ParseMessage(mailtest::kQuotedLatin1);
  EXPECT_EQ(m.from.name, "Ren\xe9 Dupr\xe9");
  EXPECT_EQ(m.subject, "Caf\xe9 \x80 50");
  ASSERT_EQ(m.to.size(), 2u);
  EXPECT_EQ(m.to[0].name, "Bob");
  EXPECT_EQ(m.to[1].address, "carol@example.net");
  ASSERT_EQ(m.cc.size(), 1u);
  EXPECT_EQ(m.cc[0].address, "dave@example.org");
  EXPECT_EQ(m.date, "2026/01/01 01:59");
  EXPECT_EQ(m.text, "Le caf\xe9 co\xfbte 2 francs.\r\n");
}

TEST(MimeReading, AlternativesAreNotAttachmentsAndAttachmentsDecodeExactly) {
  const kvmapi::ParsedMessage m = ParseMessage(mailtest::MultipartWithAttachments());
  EXPECT_EQ(m.text, "See the files \x97 both.");  // the last line break is the boundary's
  ASSERT_EQ(m.attachments.size(), 2u);
  EXPECT_EQ(m.attachments[0].fileName, "data.bin");
  EXPECT_EQ(m.attachments[0].bytes, mailtest::BinaryBytes());
  EXPECT_EQ(m.attachments[1].bytes, "line one");
}

TEST(MimeReading, DamagedInputGivesEmptyFieldsNotACrash) {
  for (const std::string& bytes :
       {std::string(), std::string("\0\0\0", 3), std::string("From: <<<@@@>>>\r\nSubject"),
        std::string("Content-Type: multipart/mixed; boundary=x\r\n\r\n--x\r\n--x\r\n"),
        std::string("Content-Transfer-Encoding: base64\r\n\r\n!!!!====\r\n"),
        std::string("Date: Feb 30 99999 99:99\r\n\r\nbody")}) {
    const kvmapi::ParsedMessage m = ParseMessage(bytes);
    EXPECT_LE(m.attachments.size(), 2u);
  }
  EXPECT_EQ(ParseMessage("Date: not a date\r\n\r\nx").date, "");
}

TEST(Cp1252, ConversionsBothWays) {
  EXPECT_EQ(kvmapi::Utf8ToCp1252("\xe2\x82\xac \xc3\xa9 \xc5\x93"), "\x80 \xe9 \x9c");
  EXPECT_EQ(kvmapi::Utf8ToCp1252("\xc4\x89"), "?");  // no place for it
  EXPECT_EQ(kvmapi::Utf8ToCp1252("a\xff"
                                 "b\xc3"),
            "a?b?");  // broken sequences
  std::string all;
  for (int b = 1; b < 256; ++b) {
    if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) continue;
    all += static_cast<char>(b);
  }
  EXPECT_EQ(kvmapi::Utf8ToCp1252(kvmapi::Cp1252ToUtf8(all)), all);
}

TEST(Maildir, DeliveryOrderComesFromTheNames) {
  uint64_t s = 0, u = 0;
  kvmapi::DeliveryKey("1700000000.M123456P99Q1.host", s, u);
  EXPECT_EQ(s, 1700000000u);
  EXPECT_EQ(u, 123456u);
  kvmapi::DeliveryKey("junk", s, u);
  EXPECT_EQ(s, 0u);
  EXPECT_EQ(u, 0u);
}

}  // namespace
