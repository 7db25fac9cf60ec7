// A mail message as the provider hands it on: every text already in
// Windows-1252, the attachments decoded.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kvmapi {

struct Mailbox {
  std::string name;
  std::string address;  // user@host
};

struct Attachment {
  std::string fileName;  // Windows-1252; empty when the part names none
  std::string bytes;     // decoded content
};

struct ParsedMessage {
  Mailbox from;
  std::vector<Mailbox> to;
  std::vector<Mailbox> cc;
  std::string subject;
  std::string date;  // "YYYY/MM/DD HH:MM" in local time; empty without a Date
  std::string messageClass;
  std::string text;  // the note text, lines ended by CR LF
  std::vector<Attachment> attachments;
  bool receiptRequested = false;
};

// Parses the bytes of a message (RFC 5322 with MIME). Never fails: what
// cannot be read is left empty. Header texts are decoded (RFC 2047), bodies
// from their transfer encoding and charset, then turned into Windows-1252
// (characters it has no place for become '?').
ParsedMessage ParseMessage(std::string_view bytes);

// UTF-8 -> Windows-1252 and back.
std::string Utf8ToCp1252(std::string_view utf8);
std::string Cp1252ToUtf8(std::string_view cp1252);

// Starts GMime once for the process.
void EnsureGmime();

}  // namespace kvmapi
