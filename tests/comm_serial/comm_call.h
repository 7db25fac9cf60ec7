// Builds the CallBlock of one language-function call of kvcomm as the host
// does (argument slots, argument sizes counting a text's zero, a result
// buffer with guard bytes behind its capacity) and reads the outcome.
#pragma once
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "chart/ext/error_report.h"
#include "kv/comm_instance.h"
#include "kv/ext_protocol.h"

namespace commtest {

struct Text {
  std::string bytes;
  // The size the host reports; by default the text's length plus its zero.
  int size = -1;
};
using Arg = std::variant<int32_t, Text>;

struct Outcome {
  int32_t returned = 0;
  uint8_t resultType = 0;
  uint32_t resultLength = 0;
  std::string bytes;  // the first resultLength bytes (at most the capacity)
  bool terminated = false;
  bool overran = false;
  bool reported = false;
  uint16_t kind = 0;
  uint32_t message = 0;
  std::string french, english;

  int32_t Integer() const {
    int32_t v = 0;
    if (bytes.size() >= 4) std::memcpy(&v, bytes.data(), 4);
    return v;
  }
  int16_t Boolean() const {
    int16_t v = -1;
    if (bytes.size() >= 2) std::memcpy(&v, bytes.data(), 2);
    return v;
  }
};

inline Outcome Call(KvLanguageFunction function, void* instance, int16_t syntax,
                    const std::vector<Arg>& args, uint8_t preset = kResultAny9,
                    uint32_t capacity = 256) {
  constexpr size_t kGuard = 16;
  std::vector<int32_t> ints(args.size() + 1);
  std::vector<std::vector<char>> texts(args.size() + 1);
  std::vector<void*> slots(args.size() + 1, nullptr);
  std::vector<uint16_t> sizes(args.size() + 1, 0);
  for (size_t k = 0; k < args.size(); ++k) {
    if (const auto* i = std::get_if<int32_t>(&args[k])) {
      ints[k + 1] = *i;
      slots[k + 1] = &ints[k + 1];
      sizes[k + 1] = 4;
    } else {
      const Text& t = std::get<Text>(args[k]);
      texts[k + 1].assign(t.bytes.begin(), t.bytes.end());
      texts[k + 1].push_back('\0');
      slots[k + 1] = texts[k + 1].data();
      sizes[k + 1] = static_cast<uint16_t>(t.size >= 0 ? t.size : t.bytes.size() + 1);
    }
  }
  std::vector<char> result(capacity + kGuard, '\xA5');
  auto call = std::make_unique<CallBlock>();
  std::memset(call.get(), 0, sizeof(CallBlock));
  call->syntaxIndex = syntax;
  call->arguments = slots.data();
  call->argumentSizes = sizes.data();
  call->resultType = preset;
  call->resultBuffer = result.data();
  call->resultCapacity = capacity;
  call->instance = instance;

  Outcome out;
  out.returned = function(call.get());
  out.resultType = call->resultType;
  out.resultLength = call->resultLength;
  const size_t shown = std::min<size_t>(call->resultLength, capacity);
  out.bytes.assign(result.data(), shown);
  out.terminated = shown < capacity && result[shown] == '\0';
  for (size_t i = capacity; i < result.size(); ++i) out.overran |= result[i] != '\xA5';
  const ErrorRecord& record = call->error;
  out.reported = record.kind != 0 || record.texts != nullptr;
  out.kind = record.kind;
  out.message = record.message;
  for (uint16_t i = 0; record.texts != nullptr && i < record.textCount; ++i) {
    std::string text = record.texts[i].text ? record.texts[i].text : "";
    (record.texts[i].language == kLanguageFrench ? out.french : out.english) = text;
  }
  kv::ext::ReleaseErrorRecord(&call->error);
  return out;
}

}  // namespace commtest
