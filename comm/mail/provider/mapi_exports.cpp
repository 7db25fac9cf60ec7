// The eight Simple MAPI entry points of libkvmapi.so.
#include <cstring>
#include <filesystem>
#include <fstream>

#include "comm/mail/provider/mapi_read.h"
#include "comm/mail/provider/outgoing.h"
#include "comm/mail/provider/provider_state.h"
#include "platform/ui/message_box.h"

namespace fs = std::filesystem;
using namespace kvmapi;

namespace kvmapi {
ProviderState& State() {
  static ProviderState* state = new ProviderState;  // lives as long as the process
  return *state;
}
}  // namespace kvmapi

namespace {

// Attachments larger than this are refused rather than read into memory.
constexpr uintmax_t kLargestAttachment = uintmax_t{64} << 20;

Session* FindSession(LHANDLE handle) {
  auto it = State().sessions.find(handle);
  return it == State().sessions.end() ? nullptr : it->second.get();
}

std::string Text(const char* text) {
  return text == nullptr ? std::string() : std::string(text);
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  const size_t n = std::strlen(prefix);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    char a = text[i], b = prefix[i];
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 32);
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
    if (a != b) return false;
  }
  return true;
}

// A message class asked for in a search matches a message's class; no class
// (or an interpersonal one) matches every message.
bool ClassMatches(const char* wanted) {
  return wanted == nullptr || *wanted == '\0' || StartsWithNoCase(wanted, "IPM");
}

unsigned BuildOutgoing(const Session& session, const MapiMessage& m, OutgoingMessage& out) {
  out.from = {session.profile.senderName, session.profile.sender};
  out.subject = Text(m.lpszSubject);
  out.text = Text(m.lpszNoteText);
  out.messageClass = Text(m.lpszMessageType);
  out.receiptRequested = (m.flFlags & MAPI_RECEIPT_REQUESTED) != 0;
  if (m.nRecipCount == 0 || m.lpRecips == nullptr) return MAPI_E_INVALID_RECIPS;
  if (m.nRecipCount > 1000) return MAPI_E_TOO_MANY_RECIPIENTS;
  for (MAPI_ULONG i = 0; i < m.nRecipCount; ++i) {
    const MapiRecipDesc& r = m.lpRecips[i];
    std::string address = Text(r.lpszAddress);
    if (StartsWithNoCase(address, "SMTP:")) address.erase(0, 5);
    if (address.empty()) address = Text(r.lpszName);
    if (!PlainAddress(address)) return MAPI_E_UNKNOWN_RECIPIENT;
    const Mailbox box{Text(r.lpszName), address};
    switch (r.ulRecipClass) {
      case MAPI_TO:
        out.to.push_back(box);
        break;
      case MAPI_CC:
        out.cc.push_back(box);
        break;
      case MAPI_BCC:
        out.bcc.push_back(address);
        break;
      default:
        return MAPI_E_BAD_RECIPTYPE;
    }
  }
  if (m.nFileCount > 0 && m.lpFiles == nullptr) return MAPI_E_ATTACHMENT_NOT_FOUND;
  if (m.nFileCount > 1000) return MAPI_E_TOO_MANY_FILES;
  for (MAPI_ULONG i = 0; i < m.nFileCount; ++i) {
    const MapiFileDesc& f = m.lpFiles[i];
    const std::string path = Text(f.lpszPathName);
    std::error_code error;
    if (path.empty() || !fs::is_regular_file(path, error)) return MAPI_E_ATTACHMENT_NOT_FOUND;
    const uintmax_t size = fs::file_size(path, error);
    if (error || size > kLargestAttachment) return MAPI_E_ATTACHMENT_OPEN_FAILURE;
    std::ifstream in(path, std::ios::binary);
    if (!in) return MAPI_E_ATTACHMENT_OPEN_FAILURE;
    Attachment attachment;
    attachment.bytes.resize(static_cast<size_t>(size));
    in.read(attachment.bytes.data(), static_cast<std::streamsize>(size));
    if (static_cast<uintmax_t>(in.gcount()) != size) return MAPI_E_ATTACHMENT_OPEN_FAILURE;
    std::string name = Text(f.lpszFileName);
    if (name.empty())
      name = path.substr(
          path.find_last_of("/\\") == std::string::npos ? 0 : path.find_last_of("/\\") + 1);
    attachment.fileName = name;
    out.attachments.push_back(std::move(attachment));
  }
  return SUCCESS_SUCCESS;
}

// The send dialog: the platform's message box (a test or the host answers
// it through its hook).
bool ConfirmSend(const OutgoingMessage& out) {
  const std::string text = "Envoyer le message \"" + out.subject + "\" \xe0 " +
                           std::to_string(out.to.size() + out.cc.size() + out.bcc.size()) +
                           " destinataire(s) ?";
  return kvp::MessageBoxA(nullptr, text.c_str(), "Envoi de message", kvp::MB_OKCANCEL) == kvp::IDOK;
}

}  // namespace

extern "C" {

KV_EXPORT MAPI_ULONG KV_CALL MAPILogon(MAPI_ULONG_PTR, char* profileName, char*, MAPI_FLAGS,
                                       MAPI_ULONG, LHANDLE* session) {
  if (session == nullptr) return MAPI_E_FAILURE;
  *session = 0;
  std::optional<Profile> profile = LoadProfile(Text(profileName));
  if (!profile) return MAPI_E_LOGIN_FAILURE;
  auto opened = std::make_unique<Session>(Session{*profile, Maildir(profile->maildir)});
  if (!opened->maildir.Prepare()) return MAPI_E_LOGIN_FAILURE;
  std::lock_guard<std::mutex> guard(State().mutex);
  if (State().sessions.size() >= kMostSessions) return MAPI_E_TOO_MANY_SESSIONS;
  LHANDLE handle = State().nextSession;
  while (handle == 0 || State().sessions.count(handle) != 0) ++handle;
  State().nextSession = handle + 1;
  State().sessions.emplace(handle, std::move(opened));
  *session = handle;
  return SUCCESS_SUCCESS;
}

KV_EXPORT MAPI_ULONG KV_CALL MAPILogoff(LHANDLE session, MAPI_ULONG_PTR, MAPI_FLAGS, MAPI_ULONG) {
  std::lock_guard<std::mutex> guard(State().mutex);
  return State().sessions.erase(session) == 1 ? SUCCESS_SUCCESS : MAPI_E_INVALID_SESSION;
}

KV_EXPORT MAPI_ULONG KV_CALL MAPIFindNext(LHANDLE handle, MAPI_ULONG_PTR, char* messageType,
                                          char* seed, MAPI_FLAGS flags, MAPI_ULONG, char* found) {
  std::lock_guard<std::mutex> guard(State().mutex);
  Session* session = FindSession(handle);
  if (session == nullptr) return MAPI_E_INVALID_SESSION;
  if (found == nullptr) return MAPI_E_FAILURE;
  const size_t room = (flags & MAPI_LONG_MSGID) ? MAPI_LONG_MSGID_SIZE : MAPI_SHORT_MSGID_SIZE;
  if (!ClassMatches(messageType)) return MAPI_E_NO_MESSAGES;
  std::string from = Text(seed);
  for (;;) {
    std::optional<MaildirEntry> next = session->maildir.Next(from, (flags & MAPI_UNREAD_ONLY) != 0);
    if (!next) return MAPI_E_NO_MESSAGES;
    // An identifier that does not fit the caller's buffer is passed over.
    if (next->id.size() < room) {
      std::memcpy(found, next->id.c_str(), next->id.size() + 1);
      return SUCCESS_SUCCESS;
    }
    from = next->id;
  }
}

KV_EXPORT MAPI_ULONG KV_CALL MAPIReadMail(LHANDLE handle, MAPI_ULONG_PTR, char* id,
                                          MAPI_FLAGS flags, MAPI_ULONG, MapiMessage** message) {
  if (message == nullptr) return MAPI_E_FAILURE;
  *message = nullptr;
  std::lock_guard<std::mutex> guard(State().mutex);
  Session* session = FindSession(handle);
  if (session == nullptr) return MAPI_E_INVALID_SESSION;
  std::optional<MaildirEntry> entry = session->maildir.Find(Text(id));
  if (!entry) return MAPI_E_INVALID_MESSAGE;
  std::unique_ptr<HeldMessage> held;
  if (unsigned code = ReadHeldMessage(*entry, flags, held); code != SUCCESS_SUCCESS) return code;
  if ((flags & MAPI_PEEK) == 0) session->maildir.SetSeen(*entry, true);
  *message = &held->message;
  State().held.emplace(&held->message, std::move(held));
  return SUCCESS_SUCCESS;
}

KV_EXPORT MAPI_ULONG KV_CALL MAPIFreeBuffer(void* buffer) {
  if (buffer == nullptr) return SUCCESS_SUCCESS;
  std::unique_ptr<HeldMessage> held;
  {
    std::lock_guard<std::mutex> guard(State().mutex);
    auto it = State().held.find(buffer);
    if (it == State().held.end()) return MAPI_E_FAILURE;
    held = std::move(it->second);
    State().held.erase(it);
  }
  return SUCCESS_SUCCESS;  // the files go with `held`
}

KV_EXPORT MAPI_ULONG KV_CALL MAPISaveMail(LHANDLE handle, MAPI_ULONG_PTR, MapiMessage* message,
                                          MAPI_FLAGS, MAPI_ULONG, char* id) {
  if (message == nullptr || id == nullptr) return MAPI_E_FAILURE;
  std::lock_guard<std::mutex> guard(State().mutex);
  Session* session = FindSession(handle);
  if (session == nullptr) return MAPI_E_INVALID_SESSION;
  // Saving over a message of the folder keeps its content and takes its
  // read state from the message's flags.
  if (*id != '\0') {
    std::optional<MaildirEntry> entry = session->maildir.Find(id);
    if (!entry) return MAPI_E_INVALID_MESSAGE;
    return session->maildir.SetSeen(*entry, (message->flFlags & MAPI_UNREAD) == 0) ? SUCCESS_SUCCESS
                                                                                   : MAPI_E_FAILURE;
  }
  OutgoingMessage out;
  out.from = {session->profile.senderName, session->profile.sender};
  out.subject = Text(message->lpszSubject);
  out.text = Text(message->lpszNoteText);
  std::optional<std::string> saved = session->maildir.Deliver(BuildMime(out));
  if (!saved || saved->size() >= MAPI_SHORT_MSGID_SIZE) return MAPI_E_DISK_FULL;
  std::memcpy(id, saved->c_str(), saved->size() + 1);
  return SUCCESS_SUCCESS;
}

KV_EXPORT MAPI_ULONG KV_CALL MAPIDeleteMail(LHANDLE handle, MAPI_ULONG_PTR, char* id, MAPI_FLAGS,
                                            MAPI_ULONG) {
  std::lock_guard<std::mutex> guard(State().mutex);
  Session* session = FindSession(handle);
  if (session == nullptr) return MAPI_E_INVALID_SESSION;
  std::optional<MaildirEntry> entry = session->maildir.Find(Text(id));
  if (!entry) return MAPI_E_INVALID_MESSAGE;
  return session->maildir.Remove(*entry) ? SUCCESS_SUCCESS : MAPI_E_FAILURE;
}

KV_EXPORT MAPI_ULONG KV_CALL MAPISendMail(LHANDLE handle, MAPI_ULONG_PTR, MapiMessage* message,
                                          MAPI_FLAGS flags, MAPI_ULONG) {
  if (message == nullptr) return MAPI_E_FAILURE;
  Profile profile;
  OutgoingMessage out;
  {
    std::lock_guard<std::mutex> guard(State().mutex);
    Session* session = FindSession(handle);
    if (session == nullptr) return MAPI_E_INVALID_SESSION;
    if (unsigned code = BuildOutgoing(*session, *message, out); code != SUCCESS_SUCCESS)
      return code;
    profile = session->profile;
  }
  if ((flags & MAPI_DIALOG) != 0 && !ConfirmSend(out)) return MAPI_USER_ABORT;
  // The server is talked to without holding the provider's lock.
  return SendThroughSmtp(profile, out, BuildMime(out));
}

}  // extern "C"
