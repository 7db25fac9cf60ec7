#include "comm/mail/email_state.h"

#include <algorithm>
#include <cstring>

#include "comm/mail/mail_session.h"

namespace kv::comm {

namespace {

template <size_t N>
void CopyText(char (&member)[N], std::string_view text) {
  const size_t n = std::min(text.size(), N - 1);
  if (n > 0) std::memcpy(member, text.data(), n);  // an absent text has no bytes at all
  member[n] = '\0';
}

std::string_view Or(const char* text) {
  return text == nullptr ? std::string_view() : std::string_view(text);
}

}  // namespace

void InitEmailState(CommRecord& record, char* message) {
  std::memset(&record.email, 0, sizeof record.email);
  record.email.out = 1;
  record.message = message;
  if (message != nullptr) message[0] = '\0';
}

void ClearEmail(CommRecord& record) {
  EmailStorage& e = record.email;
  const int32_t out = e.out, error = e.error;
  std::memset(&e, 0, sizeof e);
  e.out = out;
  e.error = error;
  if (record.message != nullptr) record.message[0] = '\0';
}

std::string_view AddressPart(std::string_view address) {
  const size_t colon = address.find(':');
  return colon == std::string_view::npos ? address : address.substr(colon + 1);
}

void FillEmail(CommRecord& record, const MapiMessage& m) {
  EmailStorage& e = record.email;
  if (m.lpOriginator != nullptr) {
    CopyText(e.sender, Or(m.lpOriginator->lpszName));
    CopyText(e.senderAddress, AddressPart(Or(m.lpOriginator->lpszAddress)));
  }
  CopyText(e.receiveDate, Or(m.lpszDateReceived));
  CopyText(e.subject, Or(m.lpszSubject));
  if (record.message != nullptr) {
    const std::string_view text = Or(m.lpszNoteText);
    const size_t n = std::min<size_t>(text.size(), KV_EMAIL_MESSAGE_SIZE - 1);
    if (n > 0) std::memcpy(record.message, text.data(), n);
    record.message[n] = '\0';
  }
  const uint32_t recipients =
      m.lpRecips == nullptr ? 0 : std::min<uint32_t>(m.nRecipCount, KV_EMAIL_RECIPIENT_COUNT);
  for (uint32_t i = 0; i < recipients; ++i) {
    CopyText(e.recipients[i], AddressPart(Or(m.lpRecips[i].lpszAddress)));
  }
  e.recipientCount = static_cast<int32_t>(recipients);
  const uint32_t files =
      m.lpFiles == nullptr ? 0 : std::min<uint32_t>(m.nFileCount, KV_EMAIL_ATTACH_COUNT);
  for (uint32_t i = 0; i < files; ++i) CopyText(e.attach[i], Or(m.lpFiles[i].lpszPathName));
  e.attachCount = static_cast<int32_t>(files);
}

void CloseMailSessions(void* instance) {
  for (std::unique_ptr<MailSession>& session : RemoveMailSessionsOf(instance)) session->Close();
}

}  // namespace kv::comm
