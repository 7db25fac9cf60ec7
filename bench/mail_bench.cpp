// Reading 10,000 messages of a Maildir through NET_bEMailLitPremier and
// NET_bEMailLitSuivant (our provider loaded as MAPI32.DLL) against Python's
// mailbox and email modules parsing the same folder; interleaved
// repetitions, each on a fresh copy of the folder (reading marks messages
// read), the ratio of the best times printed.
//
//   bench_mail DIR [COUNT] [REPETITIONS]
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/comm_bench_call.h"
#include "comm/mail/email_state.h"
#include "kv/comm_instance.h"
#include "kv/comm_mail.h"

namespace fs = std::filesystem;

namespace {

std::string Message(int i) {
  std::string m = "From: Sender " + std::to_string(i % 97) + " <s" + std::to_string(i % 97) +
                  "@example.org>\r\nTo: reader@example.com, other@example.net\r\nSubject: "
                  "=?UTF-8?Q?Facture_n=C2=B0" +
                  std::to_string(i) +
                  "?=\r\nDate: Mon, 02 Dec 2024 10:00:00 +0100\r\nMIME-Version: 1.0\r\n";
  if (i % 4 != 0) {
    return m +
           "Content-Type: text/plain; charset=ISO-8859-1\r\nContent-Transfer-Encoding: "
           "quoted-printable\r\n\r\nBonjour,\r\nla facture n=B0" +
           std::to_string(i) + " est jointe.\r\n" + std::string(400, 'x') + "\r\n";
  }
  std::string body = m +
                     "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
                     "Content-Type: text/plain\r\n\r\nSee attached.\r\n--b\r\n"
                     "Content-Type: application/octet-stream\r\nContent-Disposition: "
                     "attachment; filename=f" +
                     std::to_string(i) + ".bin\r\nContent-Transfer-Encoding: base64\r\n\r\n";
  for (int line = 0; line < 20; ++line) body += std::string(76, 'Q') + "\r\n";
  return body + "--b--\r\n";
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// Reads the whole folder through the language functions; the count read.
int ReadAll() {
  std::vector<char> block(KV_EMAIL_MESSAGE_SIZE);
  CommRecord record{};
  kv::comm::InitEmailState(record, block.data());
  CommInstanceContext instance{};
  instance.record = &record;
  commbench::Call open(&instance, 0, {}, "Bench", 6, 1);
  open.Run(NET_bEMailOuvreSession);
  const int32_t session = open.Integer();
  if (session == 0) return -1;
  int count = 0;
  commbench::Call first(&instance, 0, {session});
  commbench::Call next(&instance, 0, {session});
  first.Run(NET_bEMailLitPremier);
  while (record.email.out == 0 && record.email.error == 0) {
    ++count;
    next.Run(NET_bEMailLitSuivant);
  }
  commbench::Call close(&instance, 0, {session});
  close.Run(NET_bEMailFermeSession);
  kv::comm::CloseMailSessions(&instance);
  return count;
}

int RunPython(const std::string& script, const std::string& folder) {
  std::fflush(stdout);
  const pid_t child = ::fork();
  if (child == 0) {
    ::execl("/usr/bin/python3", "python3", script.c_str(), folder.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_mail DIR PYTHON_SCRIPT [COUNT] [REPETITIONS]\n");
    return 2;
  }
  const fs::path dir = argv[1];
  const std::string script = argv[2];
  const int count = argc > 3 ? std::atoi(argv[3]) : 10000;
  const int repetitions = argc > 4 ? std::atoi(argv[4]) : 3;
  const fs::path pristine = dir / "pristine", work = dir / "Maildir";
  fs::remove_all(dir);
  for (const char* sub : {"new", "cur", "tmp"}) fs::create_directories(pristine / sub);
  for (int i = 0; i < count; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "%d.M%06dP1Q%d.bench", 1700000000 + i / 1000, i % 1000, i);
    std::ofstream(pristine / "new" / name, std::ios::binary) << Message(i);
  }
  std::ofstream(dir / "KVMAPI.INI") << "[Bench]\nMaildir=" << work.string() << "\n";
  ::setenv("KV_WINDIR", dir.c_str(), 1);
  ::setenv("TMPDIR", dir.c_str(), 1);

  double ours = 1e9, theirs = 1e9;
  for (int r = 0; r < repetitions; ++r) {
    fs::remove_all(work);
    fs::copy(pristine, work, fs::copy_options::recursive);
    auto start = std::chrono::steady_clock::now();
    const int read = ReadAll();
    ours = std::min(ours, Seconds(std::chrono::steady_clock::now() - start));
    if (read != count) {
      std::fprintf(stderr, "read %d of %d messages\n", read, count);
      return 1;
    }
    fs::remove_all(work);
    fs::copy(pristine, work, fs::copy_options::recursive);
    start = std::chrono::steady_clock::now();
    if (RunPython(script, work.string()) != 0) {
      std::fprintf(stderr, "the python reader failed\n");
      return 1;
    }
    theirs = std::min(theirs, Seconds(std::chrono::steady_clock::now() - start));
  }
  std::printf("mail messages %d repetitions %d ours %.3f s python %.3f s ratio %.2f\n", count,
              repetitions, ours, theirs, theirs / ours);
  fs::remove_all(dir);
  return 0;
}
