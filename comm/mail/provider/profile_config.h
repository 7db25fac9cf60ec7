// A mail profile: the section of "KVMAPI.INI" (in the Windows directory)
// named by the profile, for example
//   [Bureau]
//   Maildir=/home/anne/Maildir
//   SmtpServer=127.0.0.1
//   SmtpPort=25
//   Sender=anne@example.org
//   SenderName=Anne Martin
//   Tls=none            (none, starttls or ssl)
//   User=anne           (optional login)
//   Password=secret
#pragma once
#include <optional>
#include <string>

namespace kvmapi {

inline constexpr const char* kProfileFile = "KVMAPI.INI";

struct Profile {
  std::string name;
  std::string maildir;
  std::string smtpServer;
  int smtpPort = 25;
  std::string sender;
  std::string senderName;
  enum class Tls { kNone, kStartTls, kSsl } tls = Tls::kNone;
  std::string user;
  std::string password;
};

// The profile, or nothing when the file has no section of that name with a
// Maildir in it.
std::optional<Profile> LoadProfile(const std::string& name);

}  // namespace kvmapi
