// The mail provider's reading of a message: any bytes a mailbox may hold
// are parsed into the envelope, the text and the attachments, and every
// text is turned into Windows-1252 and back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "comm/mail/provider/maildir.h"
#include "comm/mail/provider/parsed_message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const kvmapi::ParsedMessage message = kvmapi::ParseMessage(bytes);
  size_t total = message.text.size() + message.subject.size();
  for (const kvmapi::Attachment& a : message.attachments) total += a.bytes.size();
  // Decoding never yields much more than was given (base64 shrinks, quoted-
  // printable shrinks, charsets grow by at most a few bytes per byte).
  if (total > 8 * size + 4096) __builtin_trap();
  const std::string back = kvmapi::Cp1252ToUtf8(message.subject);
  if (kvmapi::Utf8ToCp1252(back) != message.subject) __builtin_trap();
  uint64_t seconds = 0, micros = 0;
  kvmapi::DeliveryKey(std::string(bytes.substr(0, 256)), seconds, micros);
  return 0;
}
