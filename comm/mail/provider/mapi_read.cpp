// MAPIReadMail's work: a Maildir message parsed into a MapiMessage whose
// attachments are files in a temporary folder of their own.
#include "comm/mail/provider/mapi_read.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <set>
#include <sstream>

#include "comm/mail/provider/parsed_message.h"
#include "platform/kernel/files.h"
#include "platform/kernel/system.h"

namespace kvmapi {

namespace fs = std::filesystem;

namespace {

// Messages larger than this are refused rather than read into memory.
constexpr uintmax_t kLargestMessage = uintmax_t{64} << 20;

// A file name of an attachment that is safe on this disk: the part after
// the last '/' or '\', controls and ':' replaced, never "." or "..".
std::string SafeFileName(const std::string& name, size_t index) {
  std::string base =
      name.substr(name.find_last_of("/\\") == std::string::npos ? 0 : name.find_last_of("/\\") + 1);
  for (char& c : base) {
    if (static_cast<unsigned char>(c) < 0x20 || c == ':') c = '_';
  }
  if (base.size() > 120) base = base.substr(base.size() - 120);
  if (base.empty() || base == "." || base == "..") base = "attach" + std::to_string(index) + ".dat";
  return base;
}

fs::path NewFolder() {
  static std::atomic<unsigned> counter{0};
  char temp[512] = {};
  kvp::GetTempPathA(sizeof temp, temp);
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path folder = fs::path(temp) / ("kvmapi-" + std::to_string(kvp::GetCurrentProcessId()) +
                                        "-" + std::to_string(++counter));
    std::error_code error;
    if (fs::create_directory(folder, error) && !error) return folder;
  }
  return {};
}

MapiRecipDesc Recipient(HeldMessage& held, unsigned type, const Mailbox& box) {
  MapiRecipDesc r{};
  r.ulRecipClass = type;
  r.lpszName = held.Keep(box.name.empty() ? box.address : box.name);
  r.lpszAddress = held.Keep(box.address.empty() ? std::string() : "SMTP:" + box.address);
  return r;
}

}  // namespace

HeldMessage::~HeldMessage() {
  if (folder.empty()) return;
  std::error_code error;
  fs::remove_all(folder, error);
}

unsigned ReadHeldMessage(const MaildirEntry& entry, unsigned flags,
                         std::unique_ptr<HeldMessage>& result) {
  std::error_code error;
  const uintmax_t size = fs::file_size(entry.path, error);
  if (error) return MAPI_E_INVALID_MESSAGE;
  if (size > kLargestMessage) return MAPI_E_TEXT_TOO_LARGE;
  std::string bytes;
  {
    std::ifstream in(entry.path, std::ios::binary);
    if (!in) return MAPI_E_INVALID_MESSAGE;
    bytes.resize(static_cast<size_t>(size));
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<size_t>(in.gcount()));
  }
  const ParsedMessage parsed = ParseMessage(bytes);

  auto held = std::make_unique<HeldMessage>();
  MapiMessage& m = held->message;
  m.lpszSubject = held->Keep(parsed.subject);
  m.lpszDateReceived = held->Keep(parsed.date);
  m.lpszMessageType = held->Keep(parsed.messageClass.empty() ? "IPM.Note" : parsed.messageClass);
  m.lpszConversationID = held->Keep("");
  m.flFlags =
      (entry.seen ? 0 : MAPI_UNREAD) | (parsed.receiptRequested ? MAPI_RECEIPT_REQUESTED : 0);
  held->originator = Recipient(*held, MAPI_ORIG, parsed.from);
  m.lpOriginator = &held->originator;
  for (const Mailbox& box : parsed.to) held->recipients.push_back(Recipient(*held, MAPI_TO, box));
  for (const Mailbox& box : parsed.cc) held->recipients.push_back(Recipient(*held, MAPI_CC, box));
  m.nRecipCount = static_cast<MAPI_ULONG>(held->recipients.size());
  m.lpRecips = held->recipients.empty() ? nullptr : held->recipients.data();

  const bool envelopeOnly = (flags & MAPI_ENVELOPE_ONLY) != 0;
  m.lpszNoteText = held->Keep(envelopeOnly ? std::string() : parsed.text);
  if (!envelopeOnly && (flags & MAPI_SUPPRESS_ATTACH) == 0 && !parsed.attachments.empty()) {
    held->folder = NewFolder();
    if (held->folder.empty()) return MAPI_E_ATTACHMENT_WRITE_FAILURE;
    std::set<std::string> used;
    size_t index = 0;
    for (const Attachment& attachment : parsed.attachments) {
      std::string name = SafeFileName(attachment.fileName, ++index);
      // Two attachments of one name get folders of their own numbers.
      fs::path path = held->folder / name;
      if (!used.insert(name).second) {
        fs::create_directory(held->folder / std::to_string(index), error);
        path = held->folder / std::to_string(index) / name;
      }
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out.write(attachment.bytes.data(), static_cast<std::streamsize>(attachment.bytes.size()));
      if (!out) return MAPI_E_ATTACHMENT_WRITE_FAILURE;
      MapiFileDesc file{};
      file.nPosition = 0xFFFFFFFFu;
      file.lpszPathName = held->Keep(path.string());
      file.lpszFileName = held->Keep(attachment.fileName);
      held->files.push_back(file);
    }
  }
  m.nFileCount = static_cast<MAPI_ULONG>(held->files.size());
  m.lpFiles = held->files.empty() ? nullptr : held->files.data();
  result = std::move(held);
  return SUCCESS_SUCCESS;
}

}  // namespace kvmapi
