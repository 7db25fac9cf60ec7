// A kvcomm instance with its Email storage, a temporary Windows directory
// whose KVMAPI.INI names the test's Maildirs and SMTP server, messages
// placed in a Maildir, an aiosmtpd server on 127.0.0.1 (a real process,
// stopped when the test ends, also on failure), and the message boxes
// kept instead of shown.
#pragma once
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "comm/mail/email_state.h"
#include "kv/comm_instance.h"
#include "kv/comm_mail.h"
#include "platform/ui/message_box.h"
#include "tests/comm_serial/comm_call.h"
#include "tests/support/temp_dir.h"

namespace mailtest {

namespace fs = std::filesystem;

// An SMTP server delivering into a Maildir.
class SmtpServer {
 public:
  explicit SmtpServer(const std::string& maildir) {
    if (std::system("/usr/bin/python3 -c 'import aiosmtpd' 2>/dev/null") != 0) {
      throw std::runtime_error("python3-aiosmtpd is missing: run scripts/install-deps.sh");
    }
    port_ = FreePort();
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      const std::string listen = "127.0.0.1:" + std::to_string(port_);
      ::execl("/usr/bin/python3", "python3", "-m", "aiosmtpd", "-n", "-l", listen.c_str(), "-c",
              "aiosmtpd.handlers.Mailbox", maildir.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!Answers()) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        throw std::runtime_error("aiosmtpd ended at once");
      }
      if (std::chrono::steady_clock::now() > deadline) {
        Stop();
        throw std::runtime_error("aiosmtpd did not answer in 20 s");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ~SmtpServer() { Stop(); }
  int port() const { return port_; }
  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  static int FreePort() {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t length = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length);
    ::close(s);
    return ntohs(a.sin_port);
  }
  bool Answers() const {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port_));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
  }
  int port_ = 0;
  pid_t pid_ = -1;
};

struct Box {
  std::string text, caption;
  unsigned type;
};

class MailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("KV_WINDIR", dir_.path().c_str(), 1);
    ::setenv("TMPDIR", dir_.path().c_str(), 1);
    ::unsetenv("KV_MODULE_MAPI32_DLL");
    fs::create_directories(Maildir() + "/new");
    fs::create_directories(Maildir() + "/cur");
    fs::create_directories(Maildir() + "/tmp");
    WriteProfiles(0);
    message_.assign(KV_EMAIL_MESSAGE_SIZE, '\0');
    record_.networkMarker = 1;
    instance_.record = &record_;
    kv::comm::InitEmailState(record_, message_.data());
    kvp::SetMessageBoxHook(&MailTest::KeepBox, this);
  }
  void TearDown() override {
    kv::comm::CloseMailSessions(&instance_);
    kvp::SetMessageBoxHook(nullptr, nullptr);
    ::unsetenv("TMPDIR");
  }

  std::string Maildir() const { return dir_.File("Maildir"); }
  std::string SentDir() const { return dir_.File("Sent"); }

  void WriteProfiles(int smtpPort) {
    std::ofstream ini(dir_.File("KVMAPI.INI"), std::ios::trunc);
    ini << "[Test]\nMaildir=" << Maildir() << "\nSmtpServer=127.0.0.1\nSmtpPort=" << smtpPort
        << "\nSender=tester@example.org\nSenderName=Test Sender\n";
    ini << "[Sent]\nMaildir=" << SentDir() << "\n";
  }

  // Places a message in new/ (or cur/ with its flags) under its delivery
  // name.
  std::string Place(const std::string& name, const std::string& bytes, const char* sub = "new") {
    const std::string path = Maildir() + "/" + sub + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  static int KeepBox(kvp::HWND, const char* text, const char* caption, unsigned type, void* self) {
    auto* test = static_cast<MailTest*>(self);
    test->boxes_.push_back({text ? text : "", caption ? caption : "", type});
    return test->answer_;
  }

  commtest::Outcome Run(KvLanguageFunction f, std::vector<commtest::Arg> args, int16_t syntax = 0,
                        uint8_t preset = kResultAny9) {
    return commtest::Call(f, &instance_, syntax, args, preset);
  }
  int32_t OpenSession(const std::string& profile = "Test") {
    return Run(NET_bEMailOuvreSession, {commtest::Text{profile}}).Integer();
  }
  bool ReadFirst(int32_t session, const std::string& filter = "TOUT") {
    return Run(NET_bEMailLitPremier, {session, commtest::Text{filter}}, 1).Boolean() == 1;
  }
  bool ReadNext(int32_t session) { return Run(NET_bEMailLitSuivant, {session}).Boolean() == 1; }

  EmailStorage& email() { return record_.email; }
  std::string text() const { return message_.data(); }

  kvtest::TempDir dir_;
  std::vector<char> message_;
  CommRecord record_{};
  CommInstanceContext instance_{};
  std::vector<Box> boxes_;
  int answer_ = kvp::IDOK;
};

// Writes `bytes` to a new file in `dir`.
inline std::string WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace mailtest
