#include "host/serial_call_block.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/kernel/files.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/system.h"

namespace kvhost {

namespace {

void FreeTexts(ErrorRecord& record) {
  // The texts are the library's moveable blocks; the host releases them
  // as command 9 would.
  if (record.texts != nullptr) {
    for (uint16_t i = 0; i < record.textCount; ++i) {
      if (record.texts[i].text != nullptr) {
        kvp::HGLOBAL h = kvp::GlobalHandle(record.texts[i].text);
        kvp::GlobalUnlock(h);
        kvp::GlobalFree(h);
      }
    }
    kvp::HGLOBAL h = kvp::GlobalHandle(record.texts);
    kvp::GlobalUnlock(h);
    kvp::GlobalFree(h);
  }
  std::memset(&record, 0, sizeof record);
}

}  // namespace

int32_t CommLibrary::Result::Integer() const {
  int32_t v = 0;
  if (bytes.size() >= 4) std::memcpy(&v, bytes.data(), 4);
  return v;
}

bool CommLibrary::Result::Boolean() const {
  int16_t v = 0;
  if (bytes.size() >= 2) std::memcpy(&v, bytes.data(), 2);
  return v != 0;
}

CommLibrary::CommLibrary() : message_(KV_EMAIL_MESSAGE_SIZE, '\0') {
  record_.networkMarker = 1;
  record_.email.out = 1;
  record_.message = message_.data();
  instance_.record = &record_;
  for (void*& port : instance_.ports) port = kvp::INVALID_HANDLE_VALUE;
}

CommLibrary::~CommLibrary() {
  if (module_ == nullptr) return;
  // What the language left open is closed as the instance's end would.
  for (int32_t port = -KV_COMM_PORT_BIAS; port < KV_COMM_PORT_COUNT - KV_COMM_PORT_BIAS; ++port) {
    if (instance_.ports[port + KV_COMM_PORT_BIAS] != kvp::INVALID_HANDLE_VALUE) {
      Call("SERIE_bsFerme", 0, {port});
    }
  }
  kvp::FreeLibrary(module_);
}

bool CommLibrary::Load(std::string& error) {
  module_ = kvp::LoadLibraryA("kvcomm.dll");
  if (module_ == nullptr) {
    error = "cannot load libkvcomm.so";
    return false;
  }
  return true;
}

KvLanguageFunction CommLibrary::Function(const char* name) const {
  return reinterpret_cast<KvLanguageFunction>(kvp::GetProcAddress(module_, name));
}

CommLibrary::Result CommLibrary::Call(const char* name, int16_t syntax,
                                      const std::vector<Arg>& args, uint32_t capacity) {
  Result result;
  KvLanguageFunction function = Function(name);
  if (function == nullptr) return result;
  std::vector<int32_t> ints(args.size() + 1);
  std::vector<std::string> texts(args.size() + 1);
  std::vector<void*> slots(args.size() + 1, nullptr);
  std::vector<uint16_t> sizes(args.size() + 1, 0);
  for (size_t k = 0; k < args.size(); ++k) {
    if (const auto* i = std::get_if<int32_t>(&args[k])) {
      ints[k + 1] = *i;
      slots[k + 1] = &ints[k + 1];
      sizes[k + 1] = 4;
    } else {
      texts[k + 1] = std::get<Text>(args[k]).bytes;
      slots[k + 1] = texts[k + 1].data();
      sizes[k + 1] = static_cast<uint16_t>(std::min<size_t>(texts[k + 1].size() + 1, 65535));
    }
  }
  std::vector<char> buffer(capacity + 1, '\0');
  auto call = std::make_unique<CallBlock>();
  std::memset(call.get(), 0, sizeof(CallBlock));
  call->syntaxIndex = syntax;
  call->arguments = slots.data();
  call->argumentSizes = sizes.data();
  call->resultType = kResultAny9;
  call->resultBuffer = buffer.data();
  call->resultCapacity = capacity;
  call->instance = &instance_;
  call->module = module_;
  result.returned = function(call.get());
  const uint32_t length = call->resultLength;  // a packed member: read, not bound
  result.bytes.assign(buffer.data(), std::min(length, capacity));
  for (uint16_t i = 0; call->error.texts != nullptr && i < call->error.textCount; ++i) {
    const char* text = call->error.texts[i].text != nullptr ? call->error.texts[i].text : "";
    (call->error.texts[i].language == kLanguageFrench ? result.french : result.english) = text;
  }
  FreeTexts(call->error);
  return result;
}

}  // namespace kvhost
