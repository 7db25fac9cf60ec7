#include <gmime/gmime.h>

#include "comm/mail/provider/outgoing.h"

namespace kvmapi {

namespace {

void AddAll(GMimeMessage* message, GMimeAddressType type, const std::vector<Mailbox>& boxes) {
  for (const Mailbox& box : boxes) {
    const std::string name = Cp1252ToUtf8(box.name);
    g_mime_message_add_mailbox(message, type, name.empty() ? nullptr : name.c_str(),
                               box.address.c_str());
  }
}

GMimeObject* TextPart(const std::string& text) {
  GMimeTextPart* part = g_mime_text_part_new_with_subtype("plain");
  g_mime_text_part_set_text(part, Cp1252ToUtf8(text).c_str());
  g_mime_part_set_content_encoding(GMIME_PART(part), GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
  return GMIME_OBJECT(part);
}

GMimeObject* AttachmentPart(const Attachment& attachment) {
  GMimePart* part = g_mime_part_new_with_type("application", "octet-stream");
  GMimeStream* stream =
      g_mime_stream_mem_new_with_buffer(attachment.bytes.data(), attachment.bytes.size());
  GMimeDataWrapper* content =
      g_mime_data_wrapper_new_with_stream(stream, GMIME_CONTENT_ENCODING_DEFAULT);
  g_mime_part_set_content(part, content);
  g_object_unref(content);
  g_object_unref(stream);
  g_mime_object_set_disposition(GMIME_OBJECT(part), "attachment");
  if (!attachment.fileName.empty()) {
    g_mime_part_set_filename(part, Cp1252ToUtf8(attachment.fileName).c_str());
  }
  g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
  return GMIME_OBJECT(part);
}

}  // namespace

std::string BuildMime(const OutgoingMessage& out) {
  EnsureGmime();
  GMimeMessage* message = g_mime_message_new(TRUE);
  AddAll(message, GMIME_ADDRESS_TYPE_FROM, {out.from});
  AddAll(message, GMIME_ADDRESS_TYPE_TO, out.to);
  AddAll(message, GMIME_ADDRESS_TYPE_CC, out.cc);
  g_mime_message_set_subject(message, Cp1252ToUtf8(out.subject).c_str(), "utf-8");
  GDateTime* now = g_date_time_new_now_local();
  g_mime_message_set_date(message, now);
  g_date_time_unref(now);
  const std::string domain = out.from.address.substr(out.from.address.find('@') + 1);
  gchar* id = g_mime_utils_generate_message_id(domain.empty() ? "localhost" : domain.c_str());
  g_mime_message_set_message_id(message, id);
  g_free(id);
  GMimeObject* top = GMIME_OBJECT(message);
  if (!out.messageClass.empty()) {
    g_mime_object_set_header(top, "X-Message-Class", out.messageClass.c_str(), nullptr);
  }
  if (out.receiptRequested) {
    g_mime_object_set_header(top, "Disposition-Notification-To", out.from.address.c_str(), nullptr);
  }

  GMimeObject* text = TextPart(out.text);
  if (out.attachments.empty()) {
    g_mime_message_set_mime_part(message, text);
  } else {
    GMimeMultipart* mixed = g_mime_multipart_new_with_subtype("mixed");
    g_mime_multipart_add(mixed, text);
    for (const Attachment& attachment : out.attachments) {
      GMimeObject* part = AttachmentPart(attachment);
      g_mime_multipart_add(mixed, part);
      g_object_unref(part);
    }
    g_mime_message_set_mime_part(message, GMIME_OBJECT(mixed));
    g_object_unref(mixed);
  }
  g_object_unref(text);

  GMimeFormatOptions* options = g_mime_format_options_new();
  g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_DOS);
  gchar* bytes = g_mime_object_to_string(top, options);
  std::string result = bytes != nullptr ? bytes : "";
  g_free(bytes);
  g_mime_format_options_free(options);
  g_object_unref(message);
  return result;
}

bool PlainAddress(const std::string& address) {
  const size_t at = address.find('@');
  if (at == std::string::npos || at == 0 || at + 1 >= address.size() ||
      address.find('@', at + 1) != std::string::npos || address.size() > 254) {
    return false;
  }
  for (char c : address) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b >= 0x7F || c == '<' || c == '>' || c == '"' || c == ',' || c == ';' ||
        c == '(' || c == ')' || c == '\\') {
      return false;
    }
  }
  return true;
}

}  // namespace kvmapi
