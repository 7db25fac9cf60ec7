#include "host/mail_command.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/cp1252.h"
#include "host/serial_call_block.h"

namespace kvhost {

namespace {

using Text = CommLibrary::Text;

// A person's UTF-8 -> the library's Windows-1252 (Latin-1 and the euro
// sign; anything else becomes '?').
std::string ToCp1252(const std::string& in) {
  std::string out;
  for (size_t i = 0; i < in.size();) {
    const auto b = static_cast<unsigned char>(in[i]);
    if (b < 0x80) {
      out += in[i++];
    } else if ((b >> 5) == 6 && i + 1 < in.size()) {
      const unsigned cp = ((b & 0x1F) << 6) | (static_cast<unsigned char>(in[i + 1]) & 0x3F);
      out += cp <= 0xFF ? static_cast<char>(cp) : '?';
      i += 2;
    } else if ((b >> 4) == 14 && i + 2 < in.size()) {
      const unsigned cp = ((b & 0x0F) << 12) |
                          ((static_cast<unsigned char>(in[i + 1]) & 0x3F) << 6) |
                          (static_cast<unsigned char>(in[i + 2]) & 0x3F);
      out += cp == 0x20AC ? '\x80' : '?';
      i += 3;
    } else {
      out += '?';
      ++i;
    }
  }
  return out;
}

void Copy(char* member, size_t size, const std::string& text) {
  std::strncpy(member, text.c_str(), size - 1);
  member[size - 1] = '\0';
}

int32_t Open(CommLibrary& comm, const char* profile) {
  const int32_t session =
      comm.Call("NET_bEMailOuvreSession", 0, {Text{ToCp1252(profile)}}).Integer();
  if (session == 0) std::fprintf(stderr, "kvhost: cannot open the mail session \"%s\"\n", profile);
  return session;
}

int Read(int argc, char** argv) {
  if (argc < 1) {
    std::fprintf(stderr, "usage:\n%s", MailUsage());
    return 2;
  }
  const bool unread = argc >= 2 && std::strcmp(argv[1], "--unread") == 0;
  CommLibrary comm;
  std::string error;
  if (!comm.Load(error)) {
    std::fprintf(stderr, "kvhost: %s\n", error.c_str());
    return 1;
  }
  const int32_t session = Open(comm, argv[0]);
  if (session == 0) return 1;
  const std::string filter = unread ? "NON LUS" : "TOUT";
  const EmailStorage& e = comm.record().email;
  int count = 0;
  for (const char* function = "NET_bEMailLitPremier";; function = "NET_bEMailLitSuivant") {
    if (!comm.Call(function, 1, {session, Text{filter}}).Boolean()) {
      std::fprintf(stderr, "kvhost: reading failed with code %d\n", e.error);
      break;
    }
    if (e.out == 1) break;
    ++count;
    std::printf("-- message %d\nFrom: %s <%s>\nDate: %s\nSubject: %s\n", count,
                Cp1252ToUtf8(e.sender).c_str(), Cp1252ToUtf8(e.senderAddress).c_str(),
                e.receiveDate, Cp1252ToUtf8(e.subject).c_str());
    for (int i = 0; i < e.recipientCount; ++i) {
      std::printf("To: %s\n", Cp1252ToUtf8(e.recipients[i]).c_str());
    }
    for (int i = 0; i < e.attachCount; ++i) {
      std::printf("Attachment: %s\n", Cp1252ToUtf8(e.attach[i]).c_str());
    }
    std::printf("\n%s\n", Cp1252ToUtf8(comm.message()).c_str());
  }
  std::printf("%d message(s)\n", count);
  comm.Call("NET_bEMailFermeSession", 0, {session});
  return e.error == 0 ? 0 : 1;
}

int Send(int argc, char** argv) {
  if (argc < 1) {
    std::fprintf(stderr, "usage:\n%s", MailUsage());
    return 2;
  }
  std::vector<std::string> to, files;
  std::string subject, text;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--to") == 0 && i + 1 < argc) {
      to.push_back(argv[++i]);
    } else if (std::strcmp(argv[i], "--subject") == 0 && i + 1 < argc) {
      subject = argv[++i];
    } else if (std::strcmp(argv[i], "--text") == 0 && i + 1 < argc) {
      text = argv[++i];
    } else if (argv[i][0] == '-') {
      std::fprintf(stderr, "usage:\n%s", MailUsage());
      return 2;
    } else {
      files.push_back(argv[i]);
    }
  }
  if (to.empty() || to.size() > KV_EMAIL_RECIPIENT_COUNT || files.size() > KV_EMAIL_ATTACH_COUNT) {
    std::fprintf(stderr, "kvhost: 1 to 20 recipients and at most 10 files\n");
    return 2;
  }
  CommLibrary comm;
  std::string error;
  if (!comm.Load(error)) {
    std::fprintf(stderr, "kvhost: %s\n", error.c_str());
    return 1;
  }
  const int32_t session = Open(comm, argv[0]);
  if (session == 0) return 1;
  EmailStorage& e = comm.record().email;
  for (size_t i = 0; i < to.size(); ++i) Copy(e.recipients[i], KV_EMAIL_NAME_SIZE, to[i]);
  e.recipientCount = static_cast<int32_t>(to.size());
  for (size_t i = 0; i < files.size(); ++i) Copy(e.attach[i], KV_EMAIL_ATTACH_SIZE, files[i]);
  e.attachCount = static_cast<int32_t>(files.size());
  Copy(e.subject, KV_EMAIL_NAME_SIZE, ToCp1252(subject));
  Copy(comm.record().message, KV_EMAIL_MESSAGE_SIZE, ToCp1252(text));
  const bool sent = comm.Call("NET_bEMailEnvoieMessage", 0, {session}).Boolean();
  const int32_t code = e.error;
  comm.Call("NET_bEMailFermeSession", 0, {session});
  if (!sent) {
    std::fprintf(stderr, "kvhost: sending failed with code %d\n", code);
    return 1;
  }
  std::printf("sent to %zu recipient(s) with %zu attachment(s)\n", to.size(), files.size());
  return 0;
}

}  // namespace

const char* MailUsage() {
  return "  kvhost mail read PROFILE [--unread]\n"
         "                                   print the messages of the profile's mailbox\n"
         "  kvhost mail send PROFILE --to ADDRESS [--to ADDRESS...] --subject TEXT [--text TEXT] "
         "[FILE...]\n"
         "                                   send a message with the files attached\n"
         "  (profiles: sections of KVMAPI.INI in the Windows directory)\n";
}

int MailCommand(int argc, char** argv) {
  if (argc >= 1 && std::strcmp(argv[0], "read") == 0) return Read(argc - 1, argv + 1);
  if (argc >= 1 && std::strcmp(argv[0], "send") == 0) return Send(argc - 1, argv + 1);
  std::fprintf(stderr, "usage:\n%s", MailUsage());
  return 2;
}

}  // namespace kvhost
