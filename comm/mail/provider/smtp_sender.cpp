#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "comm/mail/provider/outgoing.h"
#include "kv/simple_mapi.h"

namespace kvmapi {

namespace {

struct Upload {
  const std::string* bytes;
  size_t sent = 0;
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* data) {
  auto* upload = static_cast<Upload*>(data);
  const size_t room = size * count;
  const size_t left = upload->bytes->size() - upload->sent;
  const size_t n = std::min(room, left);
  std::memcpy(buffer, upload->bytes->data() + upload->sent, n);
  upload->sent += n;
  return n;
}

}  // namespace

unsigned SendThroughSmtp(const Profile& profile, const OutgoingMessage& message,
                         const std::string& bytes) {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  if (profile.smtpServer.empty() || !PlainAddress(message.from.address)) return MAPI_E_FAILURE;
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return MAPI_E_INSUFFICIENT_MEMORY;
  const std::string url = std::string(profile.tls == Profile::Tls::kSsl ? "smtps://" : "smtp://") +
                          profile.smtpServer + ":" + std::to_string(profile.smtpPort);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 10L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 120L);
  if (profile.tls == Profile::Tls::kStartTls)
    curl_easy_setopt(curl, CURLOPT_USE_SSL, CURLUSESSL_ALL);
  if (!profile.user.empty()) {
    curl_easy_setopt(curl, CURLOPT_USERNAME, profile.user.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, profile.password.c_str());
  }
  const std::string from = "<" + message.from.address + ">";
  curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.c_str());
  curl_slist* recipients = nullptr;
  auto add = [&](const std::string& address) {
    recipients = curl_slist_append(recipients, ("<" + address + ">").c_str());
  };
  for (const Mailbox& box : message.to) add(box.address);
  for (const Mailbox& box : message.cc) add(box.address);
  for (const std::string& address : message.bcc) add(address);
  curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
  Upload upload{&bytes};
  curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadUpload);
  curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
  curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);

  const CURLcode result = curl_easy_perform(curl);
  long response = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response);
  curl_slist_free_all(recipients);
  curl_easy_cleanup(curl);

  switch (result) {
    case CURLE_OK:
      return SUCCESS_SUCCESS;
    case CURLE_LOGIN_DENIED:
      return MAPI_E_LOGIN_FAILURE;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_USE_SSL_FAILED:
      return MAPI_E_NETWORK_FAILURE;
    default:
      // A refused recipient ends the dialogue with a 55x reply.
      if (response == 550 || response == 551 || response == 553) return MAPI_E_UNKNOWN_RECIPIENT;
      return MAPI_E_FAILURE;
  }
}

}  // namespace kvmapi
