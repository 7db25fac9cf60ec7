// The provider's process-wide state: sessions by handle (numbers from a
// table, never addresses) and the messages handed out until
// MAPIFreeBuffer takes them back.
#pragma once
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "comm/mail/provider/maildir.h"
#include "comm/mail/provider/profile_config.h"
#include "kv/simple_mapi.h"

namespace kvmapi {

inline constexpr size_t kMostSessions = 64;

struct Session {
  Profile profile;
  Maildir maildir;
};

// A message handed out by MAPIReadMail with everything its pointers reach;
// its attachment files live in their own temporary folder, removed with it.
struct HeldMessage {
  MapiMessage message{};
  MapiRecipDesc originator{};
  std::vector<MapiRecipDesc> recipients;
  std::vector<MapiFileDesc> files;
  std::deque<std::string> texts;
  std::filesystem::path folder;

  char* Keep(std::string text) {
    texts.push_back(std::move(text));
    return texts.back().data();
  }
  ~HeldMessage();
};

struct ProviderState {
  std::mutex mutex;
  std::map<LHANDLE, std::unique_ptr<Session>> sessions;
  LHANDLE nextSession = 1;
  std::map<const void*, std::unique_ptr<HeldMessage>> held;
};

ProviderState& State();

}  // namespace kvmapi
