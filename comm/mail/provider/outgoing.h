// Sending: the message built as MIME (a text part, base64 attachments) and
// delivered through the profile's SMTP server with libcurl.
#pragma once
#include <string>
#include <vector>

#include "comm/mail/provider/parsed_message.h"
#include "comm/mail/provider/profile_config.h"

namespace kvmapi {

struct OutgoingMessage {
  Mailbox from;                 // Windows-1252 name, ASCII address
  std::vector<Mailbox> to, cc;  // shown in the header
  std::vector<std::string> bcc;
  std::string subject;  // Windows-1252
  std::string text;     // Windows-1252
  std::string messageClass;
  bool receiptRequested = false;
  std::vector<Attachment> attachments;
};

// The message's bytes, lines ended by CR LF.
std::string BuildMime(const OutgoingMessage& message);

// A plain address that can go into an SMTP command: one '@' with text on
// both sides, no spaces, controls, quotes or angle brackets.
bool PlainAddress(const std::string& address);

// Delivers to every recipient; a Simple MAPI code (0, 3 login refused, 14
// recipient refused, 23 server unreachable, 2 anything else).
unsigned SendThroughSmtp(const Profile& profile, const OutgoingMessage& message,
                         const std::string& bytes);

}  // namespace kvmapi
