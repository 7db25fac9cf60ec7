// EMailLitPremier, EMailLitSuivant, EMailEnvoieMessage, EMailMiseAJour and
// EMailSupprimeMessage: the messages of a session through Email.
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "chart/ext/call_block.h"
#include "comm/mail/email_state.h"
#include "comm/mail/mail_session.h"
#include "comm/serial/call_result.h"
#include "kv/comm_mail.h"

using namespace kv::comm;

namespace {

constexpr int16_t kOnlySyntax = 0;
constexpr int16_t kLargestOptionalSyntax = 2;
constexpr int32_t kUndelivered = 30;
constexpr size_t kLongestRecipient = 123;  // so that "SMTP:" and it fit 128 bytes

// The call's Email and its session; false (Email.Erreur 19 when there is a
// record) when the session is not one this instance opened.
struct MailCall {
  CommRecord* record = nullptr;
  MailSession* session = nullptr;
};

bool OpenMailCall(const CallBlock& call, MailCall& mail) {
  auto* instance = static_cast<CommInstanceContext*>(call.instance);
  mail.record = instance == nullptr ? nullptr : instance->record;
  if (mail.record == nullptr) return false;
  mail.session = FindMailSession(call.instance, kv::ext::ArgInt(call, 1));
  if (mail.session == nullptr) {
    mail.record->email.error = MAPI_E_INVALID_SESSION;
    return false;
  }
  return true;
}

int32_t Finish(CallBlock& call, CommRecord& record, uint32_t code) {
  record.email.error = static_cast<int32_t>(code);
  return SetBoolResult(call, code == SUCCESS_SUCCESS);
}

int32_t Refused(CallBlock& call, const MailCall& mail) {
  return mail.record != nullptr ? SetBoolResult(call, false) : 0;
}

std::string_view Member(const char* text, size_t size) {
  return std::string_view(text, strnlen(text, size));
}

// An optional text argument; `fallback` when the syntax does not give it.
const char* OptionalText(const CallBlock& call, int k, int16_t syntax, const char* fallback) {
  if (syntax < k - 1) return fallback;
  const char* text = kv::ext::ArgText(call, k);
  return text != nullptr ? text : fallback;
}

int32_t Read(CallBlock* call, bool first) {
  if (call == nullptr) return 0;
  const int16_t syntax = kv::ext::SyntaxIndex(*call);
  if (syntax < 0 || syntax > kLargestOptionalSyntax) return 0;
  MailCall mail;
  if (!OpenMailCall(*call, mail)) return Refused(*call, mail);
  MailSession& s = *mail.session;
  CommRecord& record = *mail.record;
  if (first) {
    s.current[0] = '\0';
    s.previous[0] = '\0';
  }
  ClearEmail(record);
  const std::string_view filter = OptionalText(*call, 2, syntax, "TOUT");
  char* messageClass = const_cast<char*>(OptionalText(*call, 3, syntax, nullptr));
  const bool unreadOnly = filter.find("NO") != std::string_view::npos;
  const MAPI_FLAGS flags = MAPI_LONG_MSGID | (unreadOnly ? MAPI_UNREAD_ONLY : MAPI_GUARANTEE_FIFO);
  char seed[kMessageIdSize] = {};
  if (!unreadOnly) std::memcpy(seed, s.current, sizeof seed);
  char found[kMessageIdSize] = {};
  const MAPI_ULONG searched = s.findNext(s.session, 0, messageClass, seed, flags, 0, found);
  found[kMessageIdSize - 1] = '\0';
  if (searched == MAPI_E_NO_MESSAGES) {
    // No current message any more: its attachment files go with it.
    s.DropLast();
    s.current[0] = '\0';
    s.previous[0] = '\0';
    record.email.out = 1;
    return Finish(*call, record, SUCCESS_SUCCESS);
  }
  if (searched != SUCCESS_SUCCESS) {
    record.email.out = 1;
    return Finish(*call, record, searched);
  }
  std::memcpy(s.previous, s.current, sizeof s.previous);
  std::memcpy(s.current, found, sizeof s.current);
  s.DropLast();
  MapiMessage* message = nullptr;
  const MAPI_ULONG read = s.readMail(s.session, 0, found, 0, 0, &message);
  if (read != SUCCESS_SUCCESS || message == nullptr) {
    record.email.out = 1;
    return Finish(*call, record, read != SUCCESS_SUCCESS ? read : MAPI_E_FAILURE);
  }
  s.last = message;
  FillEmail(record, *message);
  record.email.out = 0;
  return Finish(*call, record, SUCCESS_SUCCESS);
}

// The records MAPISendMail reads, built from Email.
struct Outgoing {
  std::vector<std::string> names, addresses, paths, files;
  std::vector<MapiRecipDesc> recipients;
  std::vector<MapiFileDesc> attachments;
};

uint32_t BuildOutgoing(const CommRecord& record, Outgoing& out) {
  const EmailStorage& e = record.email;
  // Counts the arrays cannot hold are refused, not read past the arrays.
  if (e.recipientCount < 0 || e.recipientCount > KV_EMAIL_RECIPIENT_COUNT) {
    return MAPI_E_TOO_MANY_RECIPIENTS;
  }
  if (e.attachCount < 0 || e.attachCount > KV_EMAIL_ATTACH_COUNT) return MAPI_E_TOO_MANY_FILES;
  for (int32_t i = 0; i < e.recipientCount; ++i) {
    std::string_view text = Member(e.recipients[i], KV_EMAIL_NAME_SIZE);
    if (text.size() > kLongestRecipient) text = text.substr(0, kLongestRecipient);
    out.names.emplace_back(text.substr(0, text.find('@')));
    out.addresses.push_back("SMTP:" + std::string(text));
  }
  for (int32_t i = 0; i < e.attachCount; ++i) {
    const std::string_view path = Member(e.attach[i], KV_EMAIL_ATTACH_SIZE);
    const size_t separator = path.find_last_of("\\/");
    out.paths.emplace_back(path);
    out.files.emplace_back(separator == std::string_view::npos ? path : path.substr(separator + 1));
  }
  for (size_t i = 0; i < out.names.size(); ++i) {
    MapiRecipDesc r{};
    r.ulRecipClass = MAPI_TO;
    r.lpszName = out.names[i].data();
    r.lpszAddress = out.addresses[i].data();
    out.recipients.push_back(r);
  }
  for (size_t i = 0; i < out.paths.size(); ++i) {
    MapiFileDesc f{};
    f.nPosition = 0xFFFFFFFFu;  // no place in the text
    f.lpszPathName = out.paths[i].data();
    f.lpszFileName = out.files[i].data();
    out.attachments.push_back(f);
  }
  return SUCCESS_SUCCESS;
}

}  // namespace

int32_t KV_CALL NET_bEMailLitPremier(CallBlock* call) {
  return Read(call, true);
}

int32_t KV_CALL NET_bEMailLitSuivant(CallBlock* call) {
  return Read(call, false);
}

int32_t KV_CALL NET_bEMailEnvoieMessage(CallBlock* call) {
  if (call == nullptr) return 0;
  const int16_t syntax = kv::ext::SyntaxIndex(*call);
  if (syntax < 0 || syntax > kLargestOptionalSyntax) return 0;
  MailCall mail;
  if (!OpenMailCall(*call, mail)) return Refused(*call, mail);
  CommRecord& record = *mail.record;
  try {
    Outgoing out;
    if (uint32_t code = BuildOutgoing(record, out); code != SUCCESS_SUCCESS)
      return Finish(*call, record, code);
    std::string subject(Member(record.email.subject, KV_EMAIL_NAME_SIZE));
    std::string text = record.message != nullptr
                           ? std::string(Member(record.message, KV_EMAIL_MESSAGE_SIZE))
                           : std::string();
    std::string messageClass = syntax >= 2 && kv::ext::ArgText(*call, 3) != nullptr
                                   ? std::string(kv::ext::ArgText(*call, 3))
                                   : std::string();
    MapiMessage message{};
    message.lpszSubject = subject.data();
    message.lpszNoteText = text.data();
    message.lpszMessageType = messageClass.empty() ? nullptr : messageClass.data();
    message.nRecipCount = static_cast<MAPI_ULONG>(out.recipients.size());
    message.lpRecips = out.recipients.empty() ? nullptr : out.recipients.data();
    message.nFileCount = static_cast<MAPI_ULONG>(out.attachments.size());
    message.lpFiles = out.attachments.empty() ? nullptr : out.attachments.data();
    const MAPI_FLAGS flags = syntax >= 1 && kv::ext::ArgInt(*call, 2) != 0 ? MAPI_DIALOG : 0;
    MailSession& s = *mail.session;
    return Finish(*call, record, s.sendMail(s.session, 0, &message, flags, 0));
  } catch (const std::bad_alloc&) {
    return Finish(*call, record, MAPI_E_INSUFFICIENT_MEMORY);
  }
}

int32_t KV_CALL NET_bEMailMiseAJour(CallBlock* call) {
  if (call == nullptr || kv::ext::SyntaxIndex(*call) != kOnlySyntax) return 0;
  MailCall mail;
  if (!OpenMailCall(*call, mail)) return Refused(*call, mail);
  MailSession& s = *mail.session;
  LHANDLE extra = 0;
  MAPI_ULONG code = s.logon(0, s.profile.data(), nullptr,
                            MAPI_LOGON_UI | MAPI_NEW_SESSION | MAPI_FORCE_DOWNLOAD, 0, &extra);
  if (code != SUCCESS_SUCCESS) return Finish(*call, *mail.record, code);
  char empty[1] = {};
  char found[kMessageIdSize] = {};
  code = s.findNext(extra, 0, nullptr, empty, MAPI_LONG_MSGID | MAPI_UNREAD_ONLY, 0, found);
  found[kMessageIdSize - 1] = '\0';
  if (code == MAPI_E_NO_MESSAGES) {
    code = SUCCESS_SUCCESS;
  } else if (code == SUCCESS_SUCCESS) {
    MapiMessage* message = nullptr;
    code = s.readMail(extra, 0, found, 0, 0, &message);
    if (code == SUCCESS_SUCCESS && message != nullptr) {
      const char* origin =
          message->lpOriginator != nullptr ? message->lpOriginator->lpszName : nullptr;
      const char* subject = message->lpszSubject;
      if (origin != nullptr && std::strcmp(origin, "Administrateur syst\xe8me") == 0 &&
          subject != nullptr && std::strncmp(subject, "Non remis:", 10) == 0) {
        code = kUndelivered;
      } else {
        // Looking was not reading: the message goes back to unread.
        message->flFlags |= MAPI_UNREAD;
        code = s.saveMail(extra, 0, message, MAPI_LONG_MSGID | MAPI_LOGON_UI, 0, found);
      }
      s.freeBuffer(message);
    }
  }
  s.logoff(extra, 0, 0, 0);
  return Finish(*call, *mail.record, code);
}

int32_t KV_CALL NET_bEMailSupprimeMessage(CallBlock* call) {
  if (call == nullptr || kv::ext::SyntaxIndex(*call) != kOnlySyntax) return 0;
  MailCall mail;
  if (!OpenMailCall(*call, mail)) return Refused(*call, mail);
  MailSession& s = *mail.session;
  CommRecord& record = *mail.record;
  ClearEmail(record);
  if (record.email.out == 1) return Finish(*call, record, MAPI_E_INVALID_MESSAGE);
  record.email.out = 1;
  const MAPI_ULONG code = s.deleteMail(s.session, 0, s.current, 0, 0);
  std::memcpy(s.current, s.previous, sizeof s.current);
  s.DropLast();
  return Finish(*call, record, code);
}
