// Messages as mail programs deliver them: plain, quoted-printable in
// ISO-8859-1, encoded-word headers in UTF-8 and ISO-8859-1, multipart with
// an alternative and base64 attachments.
#pragma once
#include <string>

namespace mailtest {

inline std::string Base64(const std::string& bytes) {
  static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                 (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                 static_cast<unsigned char>(bytes[i + 2]);
    out += k[v >> 18];
    out += k[(v >> 12) & 63];
    out += k[(v >> 6) & 63];
    out += k[v & 63];
    if (out.size() % 77 == 76) out += "\r\n";
  }
  if (i + 1 == bytes.size()) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    out += k[v >> 18];
    out += k[(v >> 12) & 63];
    out += "==";
  } else if (i + 2 == bytes.size()) {
    unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                 (static_cast<unsigned char>(bytes[i + 1]) << 8);
    out += k[v >> 18];
    out += k[(v >> 12) & 63];
    out += k[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

// Every byte value twice, so that a text-mode mistake shows.
inline std::string BinaryBytes() {
  std::string bytes;
  for (int round = 0; round < 2; ++round) {
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  }
  return bytes;
}

inline const std::string kPlain =
    "From: Alice Martin <alice@example.org>\r\n"
    "To: bob@example.com\r\n"
    "Subject: Hello\r\n"
    "Date: Tue, 05 Mar 2024 14:07:33 +0100\r\n"
    "Message-ID: <1@example.org>\r\n"
    "\r\n"
    "First line\r\nSecond line\r\n";

inline const std::string kQuotedLatin1 =
    "From: =?ISO-8859-1?Q?Ren=E9_Dupr=E9?= <rene@example.fr>\r\n"
    "To: Bob <bob@example.com>, carol@example.net\r\n"
    "Cc: dave@example.org\r\n"
    "Subject: =?UTF-8?B?Q2Fmw6kg4oKsIDUw?=\r\n"
    "Date: Wed, 31 Dec 2025 23:59:00 -0200\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: text/plain; charset=ISO-8859-1\r\n"
    "Content-Transfer-Encoding: quoted-printable\r\n"
    "\r\n"
    "Le caf=E9 co=FBte 2 =\r\nfrancs.\r\n";

inline std::string MultipartWithAttachments() {
  return "From: Carol <carol@example.net>\r\n"
         "To: bob@example.com\r\n"
         "Subject: Files\r\n"
         "Date: Thu, 01 Feb 2024 08:00:00 +0000\r\n"
         "MIME-Version: 1.0\r\n"
         "Content-Type: multipart/mixed; boundary=\"outer\"\r\n"
         "\r\n"
         "--outer\r\n"
         "Content-Type: multipart/alternative; boundary=\"alt\"\r\n"
         "\r\n"
         "--alt\r\n"
         "Content-Type: text/plain; charset=utf-8\r\n"
         "\r\n"
         "See the files \xe2\x80\x94 both.\r\n"
         "--alt\r\n"
         "Content-Type: text/html; charset=utf-8\r\n"
         "\r\n"
         "<p>See the files</p>\r\n"
         "--alt--\r\n"
         "--outer\r\n"
         "Content-Type: application/octet-stream; name=\"data.bin\"\r\n"
         "Content-Disposition: attachment; filename=\"data.bin\"\r\n"
         "Content-Transfer-Encoding: base64\r\n"
         "\r\n" +
         Base64(BinaryBytes()) +
         "\r\n"
         "--outer\r\n"
         "Content-Type: text/plain; name=\"notes.txt\"\r\n"
         "Content-Disposition: attachment; filename=\"..\\\\..\\\\notes.txt\"\r\n"
         "\r\n"
         "line one\r\n"
         "--outer--\r\n";
}

}  // namespace mailtest
