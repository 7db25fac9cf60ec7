// A Maildir folder: messages in new/ (not yet seen by a reader) and cur/
// (seen; their names carry ":2," and flags, 'S' for read). A message's
// identifier is the unique part of its name, which stays when it moves
// from new/ to cur/ or its flags change. Messages are ordered by delivery:
// the seconds and microseconds a delivering program puts at the front of
// the name ("1733740800.M123456P42Q1.host"), then the name.
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kvmapi {

struct MaildirEntry {
  std::string id;
  std::filesystem::path path;
  bool seen = false;
};

class Maildir {
 public:
  explicit Maildir(std::filesystem::path root) : root_(std::move(root)) {}

  // Creates new/, cur/ and tmp/ when the folder lacks them; false when it
  // cannot.
  bool Prepare() const;

  // The message after `seed` in delivery order (the first one for an empty
  // seed); only unseen ones when `unreadOnly`.
  std::optional<MaildirEntry> Next(const std::string& seed, bool unreadOnly);
  std::optional<MaildirEntry> Find(const std::string& id);

  // Sets or clears the 'S' flag, moving a message of new/ to cur/.
  bool SetSeen(const MaildirEntry& entry, bool seen);
  bool Remove(const MaildirEntry& entry);

  // Delivers a message into new/ (through tmp/); its identifier.
  std::optional<std::string> Deliver(const std::string& bytes);

  const std::filesystem::path& root() const { return root_; }

 private:
  struct Listed {
    uint64_t seconds, micros;
    MaildirEntry entry;
  };
  const std::vector<Listed>& Listing();
  void Forget() { valid_ = false; }
  // True when neither folder changed since the listing, so that a change
  // of our own can be applied to it instead of listing again.
  bool ListingCurrent() const;
  void Restamp();

  std::filesystem::path root_;
  std::vector<Listed> listing_;
  bool valid_ = false;
  std::filesystem::file_time_type newTime_{}, curTime_{};
};

// The delivery order key of an identifier.
void DeliveryKey(const std::string& id, uint64_t& seconds, uint64_t& micros);

}  // namespace kvmapi
