// EMailOuvreSession and EMailFermeSession: loading the Simple MAPI library,
// logging on and off.
#include <new>
#include <string>

#include "chart/ext/call_block.h"
#include "comm/mail/email_state.h"
#include "comm/mail/mail_session.h"
#include "comm/mail/mail_texts.h"
#include "comm/serial/call_result.h"
#include "kv/comm_mail.h"
#include "platform/kernel/system.h"
#include "platform/ui/message_box.h"

using namespace kv::comm;

namespace {

constexpr int16_t kOnlySyntax = 0;
constexpr int32_t kSessionNotOpened = 2;

CommRecord* RecordOf(const CallBlock& call) {
  auto* instance = static_cast<CommInstanceContext*>(call.instance);
  return instance == nullptr ? nullptr : instance->record;
}

template <class T>
bool Look(void* library, const char* name, T& entry) {
  entry = reinterpret_cast<T>(kvp::GetProcAddress(library, name));
  if (entry != nullptr) return true;
  const std::string text = std::string("GetProcAddress(") + name + ") impossible";
  kvp::MessageBoxA(nullptr, text.c_str(), kMailErrorCaption, kvp::MB_OK);
  return false;
}

// The library and its eight entry points, looked up in this order.
bool LoadMapi(MailSession& s) {
  s.library = kvp::LoadLibraryA(kMapiLibraryName);
  if (s.library == nullptr) {
    kvp::MessageBoxA(nullptr, kCannotLoadMapi, kMailErrorCaption, kvp::MB_OK);
    return false;
  }
  return Look(s.library, "MAPILogon", s.logon) && Look(s.library, "MAPIFindNext", s.findNext) &&
         Look(s.library, "MAPIReadMail", s.readMail) &&
         Look(s.library, "MAPIFreeBuffer", s.freeBuffer) &&
         Look(s.library, "MAPISendMail", s.sendMail) && Look(s.library, "MAPILogoff", s.logoff) &&
         Look(s.library, "MAPISaveMail", s.saveMail) &&
         Look(s.library, "MAPIDeleteMail", s.deleteMail);
}

int32_t Opened(CallBlock& call, CommRecord& record, int32_t id) {
  record.email.error = id != 0 ? 0 : kSessionNotOpened;
  record.email.out = 1;
  return kv::ext::SetIntResult(call, id) ? 1 : 0;
}

}  // namespace

int32_t KV_CALL NET_bEMailOuvreSession(CallBlock* call) {
  if (call == nullptr || kv::ext::SyntaxIndex(*call) != kOnlySyntax) return 0;
  CommRecord* record = RecordOf(*call);
  if (record == nullptr) return 0;
  std::unique_ptr<MailSession> session(new (std::nothrow) MailSession);
  if (session == nullptr) {
    kvp::MessageBoxA(nullptr, kNoMemoryForSession, kMailErrorCaption, kvp::MB_ICONSTOP);
    return Opened(*call, *record, 0);
  }
  const char* profile = kv::ext::ArgText(*call, 1);
  session->profile = profile != nullptr ? profile : "";
  if (!LoadMapi(*session)) {
    if (session->library != nullptr) kvp::FreeLibrary(session->library);
    session->library = nullptr;
    kvp::MessageBoxA(nullptr, kMapiLoadFailed, kMailErrorCaption, kvp::MB_ICONSTOP);
    return Opened(*call, *record, 0);
  }
  const MAPI_ULONG code = session->logon(0, session->profile.data(), nullptr,
                                         MAPI_LOGON_UI | MAPI_NEW_SESSION, 0, &session->session);
  if (code != SUCCESS_SUCCESS) {
    kvp::MessageBoxA(nullptr, MailCodeText(code), kMailLogonCaption, kvp::MB_ICONSTOP);
    session->session = 0;
    session->Close();
    return Opened(*call, *record, 0);
  }
  const int32_t id = RegisterMailSession(call->instance, session);
  if (id == 0) {
    session->Close();  // the table is full; the session was not entered
    return Opened(*call, *record, 0);
  }
  return Opened(*call, *record, id);
}

int32_t KV_CALL NET_bEMailFermeSession(CallBlock* call) {
  if (call == nullptr || kv::ext::SyntaxIndex(*call) != kOnlySyntax) return 0;
  CommRecord* record = RecordOf(*call);
  if (record == nullptr) return 0;
  std::unique_ptr<MailSession> session =
      RemoveMailSession(call->instance, kv::ext::ArgInt(*call, 1));
  call->resultType = kResultNone;
  if (session == nullptr) {
    record->email.error = MAPI_E_INVALID_SESSION;
    return 1;
  }
  session->Close();
  record->email.error = 0;
  return 1;
}
