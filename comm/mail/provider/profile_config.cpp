#include "comm/mail/provider/profile_config.h"

#include "platform/kernel/ascii.h"
#include "platform/kernel/profile.h"

namespace kvmapi {

namespace {

std::string Read(const std::string& section, const char* key) {
  char buffer[1024] = {};
  kvp::GetPrivateProfileStringA(section.c_str(), key, "", buffer, sizeof buffer, kProfileFile);
  return buffer;
}

}  // namespace

std::optional<Profile> LoadProfile(const std::string& name) {
  if (name.empty()) return std::nullopt;
  Profile profile;
  profile.name = name;
  profile.maildir = Read(name, "Maildir");
  if (profile.maildir.empty()) return std::nullopt;
  profile.smtpServer = Read(name, "SmtpServer");
  profile.smtpPort =
      static_cast<int>(kvp::GetPrivateProfileIntA(name.c_str(), "SmtpPort", 25, kProfileFile));
  profile.sender = Read(name, "Sender");
  profile.senderName = Read(name, "SenderName");
  const std::string tls = Read(name, "Tls");
  if (kvp::detail::EqualsNoCase(tls, "starttls")) profile.tls = Profile::Tls::kStartTls;
  if (kvp::detail::EqualsNoCase(tls, "ssl")) profile.tls = Profile::Tls::kSsl;
  profile.user = Read(name, "User");
  profile.password = Read(name, "Password");
  return profile;
}

}  // namespace kvmapi
