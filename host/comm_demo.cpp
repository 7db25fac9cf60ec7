#include "host/comm_demo.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/cp1252.h"
#include "host/ext_harness.h"
#include "kv/comm_instance.h"
#include "platform/kernel/system.h"
#include "platform/ui/message_box.h"
#include "platform/ui/messages.h"

namespace kvhost {
namespace {

namespace fs = std::filesystem;

// The library's names and texts are Windows-1252; the terminal is UTF-8.
[[gnu::format(printf, 1, 2)]] void Say(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  char line[4096];
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  std::fputs(Cp1252ToUtf8(line).c_str(), stdout);
}

Argument I(int32_t value) {
  return Argument::Int(value);
}
Argument T(const std::string& text) {
  return Argument::Text(text);
}

// Whatever port the kernel gives.
int32_t AnyFreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  const bool bound = s >= 0 &&
                     ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                     ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  if (s >= 0) ::close(s);
  return bound ? ntohs(address.sin_port) : 0;
}

// A loopback port nothing listens on at the moment (the kernel's choice).
// The kernel may give the same port twice in a row once its socket is
// closed, and two servers of this process may both listen on one port
// (they share it): a port is handed out once per process.
int32_t FreePort() {
  static std::mutex mutex;
  static std::set<int32_t> given;
  std::lock_guard<std::mutex> guard(mutex);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int32_t port = AnyFreePort();
    if (port != 0 && given.insert(port).second) return port;
  }
  return 0;
}

// Tabs and line ends of the language's lists shown readably.
std::string Shown(const std::string& list) {
  std::string out;
  for (char c : list) {
    if (c == '\t')
      out += " | ";
    else if (c == '\r')
      continue;
    else if (c == '\n')
      out += " || ";
    else
      out += c;
  }
  return out;
}

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

int AnswerYes(kvp::HWND, const char* text, const char* caption, unsigned, void*) {
  Say("  [message box \"%s\": %s] -> Oui\n", caption ? caption : "", text ? text : "");
  return kvp::IDYES;
}

struct Progress {
  std::mutex mutex;
  std::vector<std::string> lines;
  std::map<unsigned, int> notices;  // progress notices by message number
  int completed = 0;
};

void ShowProgress(void* context, unsigned message, int64_t done, int64_t total, int finished) {
  auto* progress = static_cast<Progress*>(context);
  std::lock_guard<std::mutex> guard(progress->mutex);
  char line[128];
  if (finished == 0)
    std::snprintf(line, sizeof line, "    progress message 0x%04X: %lld of %lld bytes", message,
                  static_cast<long long>(done), static_cast<long long>(total));
  else
    std::snprintf(line, sizeof line, "    transfer %s", finished == 1 ? "complete" : "failed");
  progress->lines.push_back(line);
  if (finished == 0) ++progress->notices[message];
  if (finished == 1) ++progress->completed;
}

class Demo {
 public:
  explicit Demo(fs::path dir) : dir_(std::move(dir)) {}

  int Run() {
    if (!Prepare()) return 1;
    // A client asks for the host runtime's module in the process.
    void* host = kvp::GetModuleHandleA("kvhost.DLL");
    if (host == nullptr) host = kvp::LoadLibraryA("kvhost.DLL");
    Check(host != nullptr, "the host runtime's module is loaded");
    std::string error;
    if (!comm_.Load("kvcomm.dll", error) || !comm_.CreateInstance() || !comm_.Describe()) {
      std::fprintf(stderr, "kvhost: %s\n", error.empty() ? "kvcomm did not start" : error.c_str());
      return 1;
    }
    const ExtensionDescription& d = comm_.description();
    Say("kvcomm: %u functions, %u constants, %u variables, library code %u\n", d.functionCount,
        d.constantCount, d.variableCount, d.libraryCode);
    Network();
    Mail();
    Serial();
    comm_.DestroyInstance();
    Say("instance destroyed: servers stopped, connections closed\n");
    comm_.Unload();
    Say("%s\n", failures_ == 0 ? "comm demo: every step done" : "comm demo: FAILED");
    return failures_ == 0 ? 0 : 1;
  }

 private:
  bool Prepare() {
    fs::create_directories(dir_ / "share" / "reports");
    std::ofstream(dir_ / "share" / "notes.txt") << "Notes de la r\xe9union.\n";
    std::string payload;
    for (int i = 0; i < 120000; ++i) payload += static_cast<char>('A' + i % 26);
    std::ofstream(dir_ / "share" / "ventes.dat", std::ios::binary) << payload;
    std::ofstream(dir_ / "KVRPCSRV.INI") << "[Passwords]\ndemo=kv\n";
    for (const char* sub : {"new", "cur", "tmp"}) fs::create_directories(dir_ / "Maildir" / sub);
    std::ofstream(dir_ / "Maildir" / "new" / "1700000100.M1P1Q1.demo", std::ios::binary)
        << "From: Alice Martin <alice@example.org>\r\nTo: demo@example.org\r\n"
           "Subject: Rapport mensuel\r\nDate: Tue, 05 Mar 2024 13:07:00 +0000\r\n\r\n"
           "Le rapport est pr\xeat.\r\n";
    std::ofstream(dir_ / "KVMAPI.INI")
        << "[Demo]\nMaildir=" << (dir_ / "Maildir").string() << "\nSender=demo@example.org\n";
    ::setenv("KV_WINDIR", dir_.c_str(), 1);
    ::setenv("KV_DRIVES", ("C:HD=" + dir_.string()).c_str(), 1);
    ::setenv("KV_COMM_CONFIGURED_ONLY", "1", 1);
    fs::current_path(dir_);  // the servers read the passwords there
    kvp::SetMessageBoxHook(AnswerYes, nullptr);
    return true;
  }

  CallOutcome Call(const char* name, int16_t syntax, const std::vector<Argument>& arguments,
                   uint32_t capacity = 4096) {
    const FunctionEntry* entry = comm_.FindFunction(name);
    std::string mismatch;
    std::optional<CallOutcome> outcome;
    if (entry != nullptr && syntax < entry->syntaxCount) {
      outcome =
          comm_.CallByName(name, syntax, arguments,
                           ResultArea{entry->syntaxes[syntax].resultType, capacity}, &mismatch);
    }
    if (!outcome) {
      Say("  %s: not called (%s)\n", name, mismatch.c_str());
      ++failures_;
      return CallOutcome{};
    }
    return *outcome;
  }

  void Check(bool ok, const char* what) {
    if (!ok) {
      Say("  FAILED: %s\n", what);
      ++failures_;
    }
  }

  void WaitTransfers() {
    using Wait = int (*)(long);
    auto wait = reinterpret_cast<Wait>(comm_.Symbol("KVRPC_WaitTransfers"));
    Check(wait != nullptr && wait(20000) == 1, "the transfer ended");
  }

  void Network() {
    const int32_t callPort = FreePort(), filePort = FreePort();
    const int32_t callServer = Call("NetD\xe9marreServeur", 2, {I(0), I(0), I(callPort)}).Integer();
    const int32_t fileServer = Call("NetStartServer", 2, {I(1), I(0), I(filePort)}).Integer();
    Say("NetD\xe9marreServeur: call server %d on 127.0.0.1:%d, file server %d on %d\n", callServer,
        callPort, fileServer, filePort);
    Check(callServer != 0 && fileServer != 0, "both servers started");
    const int32_t rpc = Call("NetConnecte", 3,
                             {T("127.0.0.1"), I(0), T("demo"), T("kv"), I(0), I(2000), I(callPort)})
                            .Integer();
    const int32_t ftp = Call("NetConnect", 3,
                             {T("127.0.0.1"), I(1), T("demo"), T("kv"), I(0), I(2000), I(filePort)})
                            .Integer();
    Say("NetConnecte: connection %d (calls), %d (files)\n", rpc, ftp);
    Check(rpc != 0 && ftp != 0, "both connections made");

    Say("NetMessageBoxDistant:\n");
    const int32_t answer =
        Call("NetMessageBoxDistant", 0, {I(rpc), T("Imprimer le rapport ?"), T("kvcomm"), I(4)})
            .Integer();
    Say("  remote answer %d\n", answer);
    Check(answer == kvp::IDYES, "the remote box answered");

    Progress progress;
    using Observer = void (*)(void*, unsigned, int64_t, int64_t, int);
    using SetObserver = void (*)(Observer, void*);
    auto observe = reinterpret_cast<SetObserver>(comm_.Symbol("KVRPC_SetTransferObserver"));
    if (observe != nullptr) observe(ShowProgress, &progress);
    const std::string original = (dir_ / "share" / "ventes.dat").string();
    const std::string sent = (dir_ / "recu.dat").string();
    const std::string back = (dir_ / "retour.dat").string();
    const int16_t put =
        Call("NetEnvoieFichier", 2, {I(ftp), T(original), T(sent), T("KV_DEMO_PROGRESS"), I(25)})
            .Boolean();
    WaitTransfers();
    const int16_t get =
        Call("NetGetFile", 1, {I(ftp), T(sent), T(back), I(0x0C00), I(50)}).Boolean();
    WaitTransfers();
    if (observe != nullptr) observe(nullptr, nullptr);
    Say("NetEnvoieFichier ventes.dat -> recu.dat: %s\n", put ? "started" : "refused");
    Say("NetR\xe9"
        "cup\xe8"
        "reFichier recu.dat -> retour.dat: %s\n",
        get ? "started" : "refused");
    for (const std::string& line : progress.lines) Say("%s\n", line.c_str());
    {
      // The sent file names its progress message by a text registered here,
      // the fetched one by number; each must have reported under its own.
      std::lock_guard<std::mutex> guard(progress.mutex);
      const unsigned registered = kvp::RegisterWindowMessageA("KV_DEMO_PROGRESS");
      Check(registered != 0 && progress.notices[registered] > 0 && progress.notices[0x0C00] > 0 &&
                progress.completed == 2,
            "both transfers reported their progress and their end");
    }
    const bool same = FileBytes(original) == FileBytes(back) && !FileBytes(back).empty();
    Say("  %zu bytes back, %s\n", FileBytes(back).size(),
        same ? "identical to the original" : "DIFFERENT");
    Check(put == 1 && get == 1 && same, "the file went and came back whole");

    const std::string list = Call("NetListeRep", 1, {I(rpc), T("C:\\share\\*.*")}).resultBytes;
    Say("NetListeRep C:\\share\\*.* (remote): %s\n", Shown(list).c_str());
    Check(list.find("ventes.dat/117") != std::string::npos, "the remote list names the file");
    const std::string drives = Call("NetListeDisque", 1, {I(rpc)}).resultBytes;
    Say("NetListeDisque (remote): %s\n", Shown(drives).c_str());
    Check(drives == "C\t HD \r\n", "the remote drive list");

    const int16_t wrongKind = Call("NetFinServeur", 0, {I(rpc)}).Boolean();
    Say("NetFinServeur(connection %d): %s\n", rpc, wrongKind ? "true" : "false (not a server)");
    Check(wrongKind == 0, "a connection is no server");
    Call(
        "NetD\xe9"
        "connecte",
        0, {I(rpc)});
    const int16_t stopped = Call("NetFinServeur", 0, {I(callServer)}).Boolean();
    Say("NetD\xe9"
        "connecte(%d), NetFinServeur(%d): %s\n",
        rpc, callServer, stopped ? "stopped" : "NOT stopped");
    Check(stopped == 1, "the call server stopped");
  }

  template <class T>
  T* Member(uint32_t index) {
    VariableDescriptor bound{};
    return comm_.BindVariable(index, bound) == 1 ? static_cast<T*>(bound.storage) : nullptr;
  }

  void Mail() {
    const int32_t session = Call("EMailOuvreSession", 0, {T("Demo")}).Integer();
    const int16_t read = Call("EMailLitPremier", 0, {I(session)}).Boolean();
    const char* sender = Member<char>(0);
    const char* subject = Member<char>(3);
    const char* message = Member<char>(8);
    Say("EMailOuvreSession(\"Demo\"): session %d; EMailLitPremier: %s\n", session,
        read ? "read" : "nothing");
    if (read && sender != nullptr && subject != nullptr && message != nullptr) {
      std::string body(message);
      while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) body.pop_back();
      Say("  Email.Exp\xe9"
          "diteur \"%s\", Email.Sujet \"%s\", Email.Message \"%s\"\n",
          sender, subject, body.c_str());
    }
    Check(read == 1 && subject != nullptr && std::string(subject) == "Rapport mensuel",
          "the Maildir message read");
    Call("EMailFermeSession", 0, {I(session)});
  }

  void Serial() {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
      Check(false, "a pseudo-terminal");
      if (master >= 0) ::close(master);
      return;
    }
    termios raw{};
    ::tcgetattr(master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(master, TCSANOW, &raw);
    const std::string slave = ::ptsname(master);
    std::ofstream(dir_ / "win.ini")
        << "[Ports]\r\nCOM3.Device=" << slave << "\r\nCOM3:=9600,n,8,1\r\n";
    const int16_t opened = Call("sOuvre", 0, {I(3), I(1024), I(1024)}).Boolean();
    const int32_t written = Call("sEcrit", 0, {I(3), T("Bonjour, terminal")}).Integer();
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (got.size() < 17 && std::chrono::steady_clock::now() < deadline) {
      pollfd p{master, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      char buffer[64];
      const ssize_t n = ::read(master, buffer, sizeof buffer);
      if (n > 0) got.append(buffer, static_cast<size_t>(n));
    }
    Call("sFerme", 0, {I(3)});
    ::close(master);
    Say("sOuvre(3) on %s: %s; sEcrit: %d bytes; the terminal read \"%s\"\n", slave.c_str(),
        opened ? "open" : "refused", written, got.c_str());
    Check(opened == 1 && got == "Bonjour, terminal", "the port wrote to the terminal");
  }

  fs::path dir_;
  ExtensionLibrary comm_;
  int failures_ = 0;
};

}  // namespace

int CommDemoCommand() {
  std::string pattern = (fs::temp_directory_path() / "kvhost-comm-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::fprintf(stderr, "kvhost: no temporary directory\n");
    return 1;
  }
  const fs::path dir(pattern);
  const fs::path previous = fs::current_path();
  int status = 1;
  {
    Demo demo(dir);
    status = demo.Run();
  }
  kvp::SetMessageBoxHook(nullptr, nullptr);
  std::error_code ignored;
  fs::current_path(previous, ignored);
  fs::remove_all(dir, ignored);
  return status;
}

}  // namespace kvhost
