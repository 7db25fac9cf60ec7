// kvhost's side of kvcomm's serial and mail functions: the library loaded
// as the host loads it, the functions taken by name, an instance with its
// port table and Email storage, and CallBlocks built for each call.
#pragma once
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "kv/comm_instance.h"
#include "kv/ext_protocol.h"

namespace kvhost {

class CommLibrary {
 public:
  CommLibrary();
  ~CommLibrary();
  CommLibrary(const CommLibrary&) = delete;
  CommLibrary& operator=(const CommLibrary&) = delete;

  // Loads kvcomm; `error` says what failed.
  bool Load(std::string& error);
  // A language function by its exported name; null when missing.
  KvLanguageFunction Function(const char* name) const;

  struct Text {
    std::string bytes;
  };
  using Arg = std::variant<int32_t, Text>;
  struct Result {
    int32_t returned = 0;
    std::string bytes;            // the result's bytes
    std::string french, english;  // the error report, when one was made
    int32_t Integer() const;
    bool Boolean() const;
  };
  Result Call(const char* name, int16_t syntax, const std::vector<Arg>& args,
              uint32_t capacity = 4096);

  CommRecord& record() { return record_; }
  const char* message() const { return message_.data(); }

 private:
  void* module_ = nullptr;
  CommRecord record_{};
  CommInstanceContext instance_{};
  std::vector<char> message_;
};

}  // namespace kvhost
