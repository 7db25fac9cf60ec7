// Reading a message with GMime: the envelope, the note text and the
// attachments, turned into Windows-1252.
#include <gmime/gmime.h>

#include <mutex>

#include "comm/mail/provider/parsed_message.h"

namespace kvmapi {

namespace {

// GMime objects released when the scope ends.
template <class T>
struct Ref {
  T* object = nullptr;
  explicit Ref(T* o) : object(o) {}
  ~Ref() {
    if (object != nullptr) g_object_unref(object);
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
};

std::string Cp1252(const char* utf8) {
  return utf8 == nullptr ? std::string() : Utf8ToCp1252(utf8);
}

void AddMailboxes(InternetAddressList* list, std::vector<Mailbox>& out, int depth = 0) {
  if (list == nullptr || depth > 4) return;  // groups inside groups are not followed far
  const int count = internet_address_list_length(list);
  for (int i = 0; i < count; ++i) {
    InternetAddress* address = internet_address_list_get_address(list, i);
    if (INTERNET_ADDRESS_IS_MAILBOX(address)) {
      const char* addr = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address));
      out.push_back({Cp1252(internet_address_get_name(address)), Cp1252(addr)});
    } else if (INTERNET_ADDRESS_IS_GROUP(address)) {
      AddMailboxes(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)), out,
                   depth + 1);
    }
  }
}

// The decoded bytes of a part (transfer encoding undone, charset kept).
std::string DecodedContent(GMimePart* part) {
  GMimeDataWrapper* content = g_mime_part_get_content(part);
  if (content == nullptr) return {};
  Ref<GMimeStream> memory(g_mime_stream_mem_new());
  if (g_mime_data_wrapper_write_to_stream(content, memory.object) < 0) return {};
  GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory.object));
  return std::string(reinterpret_cast<const char*>(array->data), array->len);
}

// A text body in its charset -> UTF-8; unknown or broken charsets are read
// as Latin-1, which never fails.
std::string TextToUtf8(const std::string& bytes, const char* charset) {
  if (charset == nullptr || g_ascii_strcasecmp(charset, "utf-8") == 0 ||
      g_ascii_strcasecmp(charset, "us-ascii") == 0) {
    if (g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr)) return bytes;
    charset = "ISO-8859-1";
  }
  const char* name = g_mime_charset_iconv_name(charset);
  gsize written = 0;
  gchar* converted = g_convert(bytes.data(), static_cast<gssize>(bytes.size()), "UTF-8", name,
                               nullptr, &written, nullptr);
  if (converted == nullptr) {
    converted = g_convert(bytes.data(), static_cast<gssize>(bytes.size()), "UTF-8", "ISO-8859-1",
                          nullptr, &written, nullptr);
  }
  std::string out = converted != nullptr ? std::string(converted, written) : std::string();
  g_free(converted);
  return out;
}

// Lines end with CR LF, as Windows programs expect of a note text.
std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

struct Walk {
  ParsedMessage* message;
  GMimePart* plain = nullptr;
  GMimePart* html = nullptr;
  std::vector<GMimeObject*> attachments;
};

bool IsType(GMimeObject* object, const char* type, const char* subtype) {
  GMimeContentType* ct = g_mime_object_get_content_type(object);
  return ct != nullptr && g_mime_content_type_is_type(ct, type, subtype);
}

void VisitPart(GMimeObject* parent, GMimeObject* object, gpointer data) {
  auto* walk = static_cast<Walk*>(data);
  if (GMIME_IS_MESSAGE_PART(object)) {
    walk->attachments.push_back(object);
    return;
  }
  if (!GMIME_IS_PART(object)) return;
  GMimePart* part = GMIME_PART(object);
  const bool attachment = g_mime_part_is_attachment(part) || g_mime_part_get_filename(part);
  if (!attachment && IsType(object, "text", "plain") && walk->plain == nullptr) {
    walk->plain = part;
    return;
  }
  if (!attachment && IsType(object, "text", "html") && walk->html == nullptr) {
    walk->html = part;
    return;
  }
  // Another rendering of the text in an alternative is not an attachment.
  if (!attachment && parent != nullptr && GMIME_IS_MULTIPART(parent) &&
      IsType(parent, "multipart", "alternative")) {
    return;
  }
  walk->attachments.push_back(object);
}

std::string SerializedMessage(GMimeMessagePart* part) {
  GMimeMessage* inner = g_mime_message_part_get_message(part);
  if (inner == nullptr) return {};
  Ref<GMimeStream> memory(g_mime_stream_mem_new());
  g_mime_object_write_to_stream(GMIME_OBJECT(inner), nullptr, memory.object);
  GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory.object));
  return std::string(reinterpret_cast<const char*>(array->data), array->len);
}

std::string LocalDate(GMimeMessage* message) {
  GDateTime* date = g_mime_message_get_date(message);
  if (date == nullptr) return {};
  GDateTime* local = g_date_time_to_local(date);
  if (local == nullptr) return {};
  gchar* text = g_date_time_format(local, "%Y/%m/%d %H:%M");
  std::string out = text != nullptr ? text : "";
  g_free(text);
  g_date_time_unref(local);
  return out;
}

}  // namespace

void EnsureGmime() {
  static std::once_flag once;
  std::call_once(once, [] { g_mime_init(); });
}

ParsedMessage ParseMessage(std::string_view bytes) {
  EnsureGmime();
  ParsedMessage out;
  Ref<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size()));
  Ref<GMimeParser> parser(g_mime_parser_new_with_stream(stream.object));
  Ref<GMimeMessage> message(g_mime_parser_construct_message(parser.object, nullptr));
  if (message.object == nullptr) return out;

  std::vector<Mailbox> from;
  AddMailboxes(g_mime_message_get_from(message.object), from);
  if (!from.empty()) out.from = from.front();
  AddMailboxes(g_mime_message_get_to(message.object), out.to);
  AddMailboxes(g_mime_message_get_cc(message.object), out.cc);
  out.subject = Cp1252(g_mime_message_get_subject(message.object));
  out.date = LocalDate(message.object);
  GMimeObject* top = GMIME_OBJECT(message.object);
  out.messageClass = Cp1252(g_mime_object_get_header(top, "X-Message-Class"));
  out.receiptRequested = g_mime_object_get_header(top, "Disposition-Notification-To") != nullptr;

  Walk walk;
  walk.message = &out;
  g_mime_message_foreach(message.object, VisitPart, &walk);
  GMimePart* body = walk.plain != nullptr ? walk.plain : walk.html;
  if (body != nullptr) {
    const char* charset = g_mime_object_get_content_type_parameter(GMIME_OBJECT(body), "charset");
    out.text = WithCrLf(Utf8ToCp1252(TextToUtf8(DecodedContent(body), charset)));
  }
  for (GMimeObject* object : walk.attachments) {
    Attachment attachment;
    if (GMIME_IS_MESSAGE_PART(object)) {
      attachment.bytes = SerializedMessage(GMIME_MESSAGE_PART(object));
      attachment.fileName = "message.eml";
    } else {
      GMimePart* part = GMIME_PART(object);
      attachment.fileName = Cp1252(g_mime_part_get_filename(part));
      attachment.bytes = DecodedContent(part);
    }
    out.attachments.push_back(std::move(attachment));
  }
  return out;
}

}  // namespace kvmapi
