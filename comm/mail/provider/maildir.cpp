#include "comm/mail/provider/maildir.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <system_error>

#include "platform/kernel/system.h"

namespace kvmapi {

namespace fs = std::filesystem;

namespace {

uint64_t Digits(const std::string& text, size_t& at) {
  uint64_t value = 0;
  int count = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9' && count < 18) {
    value = value * 10 + static_cast<uint64_t>(text[at++] - '0');
    ++count;
  }
  return value;
}

// "unique:2,FLAGS" -> unique and whether 'S' is among the flags.
void SplitName(const std::string& name, std::string& id, bool& seen) {
  const size_t colon = name.find(':');
  id = name.substr(0, colon);
  seen = false;
  if (colon != std::string::npos && name.compare(colon, 3, ":2,") == 0) {
    seen = name.find('S', colon + 3) != std::string::npos;
  }
}

std::string FlagsOf(const std::string& name) {
  const size_t colon = name.find(":2,");
  return colon == std::string::npos ? std::string() : name.substr(colon + 3);
}

fs::file_time_type TimeOf(const fs::path& path) {
  std::error_code error;
  fs::file_time_type time = fs::last_write_time(path, error);
  return error ? fs::file_time_type{} : time;
}

}  // namespace

void DeliveryKey(const std::string& id, uint64_t& seconds, uint64_t& micros) {
  size_t at = 0;
  seconds = Digits(id, at);
  micros = 0;
  // Microseconds follow as "M<digits>" in one of the dot-separated fields.
  const size_t m = id.find(".M");
  if (m != std::string::npos) {
    at = m + 2;
    micros = Digits(id, at);
  }
}

bool Maildir::Prepare() const {
  std::error_code error;
  if (!fs::is_directory(root_, error)) return false;
  for (const char* sub : {"new", "cur", "tmp"}) {
    fs::create_directories(root_ / sub, error);
    if (!fs::is_directory(root_ / sub, error)) return false;
  }
  return true;
}

const std::vector<Maildir::Listed>& Maildir::Listing() {
  // Listed again only when a folder changed since the last listing.
  const fs::file_time_type newTime = TimeOf(root_ / "new");
  const fs::file_time_type curTime = TimeOf(root_ / "cur");
  if (valid_ && newTime == newTime_ && curTime == curTime_) return listing_;
  listing_.clear();
  for (const char* sub : {"new", "cur"}) {
    std::error_code error;
    for (fs::directory_iterator it(root_ / sub, error), end; !error && it != end;
         it.increment(error)) {
      const std::string name = it->path().filename().string();
      if (name.empty() || name[0] == '.') continue;
      std::error_code typeError;
      if (!it->is_regular_file(typeError)) continue;
      Listed listed{};
      SplitName(name, listed.entry.id, listed.entry.seen);
      if (listed.entry.id.empty()) continue;
      listed.entry.path = it->path();
      DeliveryKey(listed.entry.id, listed.seconds, listed.micros);
      listing_.push_back(std::move(listed));
    }
  }
  std::sort(listing_.begin(), listing_.end(), [](const Listed& a, const Listed& b) {
    if (a.seconds != b.seconds) return a.seconds < b.seconds;
    if (a.micros != b.micros) return a.micros < b.micros;
    return a.entry.id < b.entry.id;
  });
  newTime_ = newTime;
  curTime_ = curTime;
  valid_ = true;
  return listing_;
}

std::optional<MaildirEntry> Maildir::Next(const std::string& seed, bool unreadOnly) {
  const std::vector<Listed>& all = Listing();
  uint64_t seconds = 0, micros = 0;
  DeliveryKey(seed, seconds, micros);
  // The first message after the seed's place, which holds even when the
  // seed itself was deleted meanwhile.
  auto after = [&](const Listed& l) {
    if (seed.empty()) return true;
    if (l.seconds != seconds) return l.seconds > seconds;
    if (l.micros != micros) return l.micros > micros;
    return l.entry.id > seed;
  };
  for (const Listed& l : all) {
    if (!after(l)) continue;
    if (unreadOnly && l.entry.seen) continue;
    return l.entry;
  }
  return std::nullopt;
}

std::optional<MaildirEntry> Maildir::Find(const std::string& id) {
  for (const Listed& l : Listing()) {
    if (l.entry.id == id) return l.entry;
  }
  return std::nullopt;
}

bool Maildir::ListingCurrent() const {
  return valid_ && TimeOf(root_ / "new") == newTime_ && TimeOf(root_ / "cur") == curTime_;
}

void Maildir::Restamp() {
  newTime_ = TimeOf(root_ / "new");
  curTime_ = TimeOf(root_ / "cur");
}

bool Maildir::SetSeen(const MaildirEntry& entry, bool seen) {
  const std::string name = entry.path.filename().string();
  std::string flags = FlagsOf(name);
  flags.erase(std::remove(flags.begin(), flags.end(), 'S'), flags.end());
  if (seen) flags += 'S';
  std::sort(flags.begin(), flags.end());  // flags are kept in ASCII order
  const fs::path target = root_ / "cur" / (entry.id + ":2," + flags);
  if (target == entry.path) return true;
  const bool current = ListingCurrent();
  std::error_code error;
  fs::rename(entry.path, target, error);
  if (error || !current) {
    Forget();
    return !error;
  }
  for (Listed& l : listing_) {
    if (l.entry.id == entry.id) {
      l.entry.path = target;
      l.entry.seen = seen;
    }
  }
  Restamp();
  return true;
}

bool Maildir::Remove(const MaildirEntry& entry) {
  const bool current = ListingCurrent();
  std::error_code error;
  const bool removed = fs::remove(entry.path, error);
  if (!removed || error || !current) {
    Forget();
    return removed && !error;
  }
  std::erase_if(listing_, [&](const Listed& l) { return l.entry.id == entry.id; });
  Restamp();
  return true;
}

std::optional<std::string> Maildir::Deliver(const std::string& bytes) {
  static std::atomic<unsigned> counter{0};
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now).count();
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(now).count() % 1000000;
  const std::string id = std::to_string(seconds) + ".M" + std::to_string(micros) + "P" +
                         std::to_string(kvp::GetCurrentProcessId()) + "Q" +
                         std::to_string(++counter) + ".kvmapi";
  const fs::path temporary = root_ / "tmp" / id;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) return std::nullopt;
  }
  std::error_code error;
  fs::rename(temporary, root_ / "new" / id, error);
  Forget();
  if (error) return std::nullopt;
  return id;
}

}  // namespace kvmapi
