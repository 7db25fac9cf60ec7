#include "host/ext_harness.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <type_traits>

#include "platform/kernel/system.h"

namespace kvhost {
namespace {

constexpr int16_t kCreate = 1, kDestroy = 2, kDescribe = 3, kGroupName = 4, kDescription = 5,
                  kFurtherText = 6, kBindVariable = 8, kReleaseError = 9, kVersion = 10,
                  kSetLanguage = 12;

// Bytes after the result buffer that a library must never touch.
constexpr size_t kGuardBytes = 16;
constexpr char kGuardByte = '\xA5';

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const char* declared, std::string_view wanted) {
  if (declared == nullptr) return false;
  size_t length = std::strlen(declared);
  if (length != wanted.size()) return false;
  for (size_t i = 0; i < length; ++i) {
    if (AsciiLower(declared[i]) != AsciiLower(wanted[i])) return false;
  }
  return true;
}

// Storage of one argument while the call runs; the slot points into it.
struct StoredArgument {
  int32_t integer = 0;
  double real = 0.0;
  std::vector<char> text;
  bool isText = false;
  FieldReference field{};
  void* window = nullptr;
};

}  // namespace

int32_t CallOutcome::Integer() const {
  int32_t value = 0;
  if (resultBytes.size() >= sizeof value) std::memcpy(&value, resultBytes.data(), sizeof value);
  return value;
}

int16_t CallOutcome::Boolean() const {
  int16_t value = 0;
  if (resultBytes.size() >= sizeof value) std::memcpy(&value, resultBytes.data(), sizeof value);
  return value;
}

bool ArgumentFits(uint16_t typeCode, const Argument& argument) {
  const Argument::Value& value = argument.value();
  switch (typeCode) {
    case kArgInt:
    case kArgIntAlt:
    case kArgSerial:  // kvcomm's serial functions: the address of a 32-bit integer too
      return std::holds_alternative<int32_t>(value);
    case kArgText:
    case kArgTextAlt:
      return std::holds_alternative<std::string>(value) ||
             std::holds_alternative<Argument::NullTextTag>(value);
    case kArgDouble:
      return std::holds_alternative<double>(value) || std::holds_alternative<int32_t>(value);
    case kArgField:
      return std::holds_alternative<FieldReference>(value);
    case kArgWindow:
      return std::holds_alternative<Argument::WindowTag>(value);
    default:
      return false;
  }
}

ExtensionLibrary::~ExtensionLibrary() {
  Unload();
}

bool ExtensionLibrary::Load(const char* moduleName, std::string& error) {
  Unload();
  module_ = kvp::LoadLibraryA(moduleName);
  if (module_ == nullptr) {
    char name[256] = {};
    kvp::MapModuleName(moduleName, name, sizeof name);
    error = std::string("cannot load ") + name;
    return false;
  }
  command_ = reinterpret_cast<decltype(command_)>(kvp::GetProcAddress(module_, "DLL_bCommande"));
  if (command_ == nullptr) {
    error = std::string(moduleName) + " has no DLL_bCommande";
    Unload();
    return false;
  }
  return true;
}

void ExtensionLibrary::Unload() {
  if (instance_ != nullptr && command_ != nullptr) DestroyInstance();
  if (module_ != nullptr) kvp::FreeLibrary(module_);
  module_ = nullptr;
  command_ = nullptr;
  instance_ = nullptr;
  described_ = false;
  description_ = ExtensionDescription{};
}

int32_t ExtensionLibrary::Command(int16_t command, uintptr_t argument, void* block) const {
  return command_ != nullptr ? command_(command, argument, block) : 0;
}

bool ExtensionLibrary::CreateInstance() {
  void* context = nullptr;
  if (Command(kCreate, 0, &context) != 1 || context == nullptr) return false;
  instance_ = context;
  return true;
}

bool ExtensionLibrary::DestroyInstance() {
  int32_t done = Command(kDestroy, reinterpret_cast<uintptr_t>(instance_), nullptr);
  instance_ = nullptr;
  return done == 1;
}

bool ExtensionLibrary::Describe(uint8_t fill) {
  ExtensionDescription block;
  std::memset(&block, fill, sizeof block);
  if (Command(kDescribe, 0, &block) != 1) return false;
  description_ = block;
  described_ = true;
  return true;
}

namespace {
std::optional<std::string> TextCommand(const ExtensionLibrary& library, int16_t command,
                                       uint32_t language) {
  const char* text = nullptr;
  if (library.Command(command, language, &text) != 1 || text == nullptr) return std::nullopt;
  return std::string(text);
}
}  // namespace

std::optional<std::string> ExtensionLibrary::GroupName(uint32_t language) const {
  return TextCommand(*this, kGroupName, language);
}
std::optional<std::string> ExtensionLibrary::Description(uint32_t language) const {
  return TextCommand(*this, kDescription, language);
}
std::optional<std::string> ExtensionLibrary::FurtherText(uint32_t language) const {
  return TextCommand(*this, kFurtherText, language);
}

std::optional<uint32_t> ExtensionLibrary::Version() const {
  uint32_t version = 0;
  if (Command(kVersion, 0, &version) != 1) return std::nullopt;
  return version;
}

bool ExtensionLibrary::SetLanguage(uint32_t language) const {
  return Command(kSetLanguage, language, instance_) == 1;
}

int32_t ExtensionLibrary::BindVariable(uint32_t index, VariableDescriptor& descriptor) const {
#pragma pack(push, 1)
  struct {
    void* instance;
    VariableDescriptor* descriptor;
  } block{instance_, &descriptor};
#pragma pack(pop)
  return Command(kBindVariable, index, &block);
}

int32_t ExtensionLibrary::ReleaseError(ErrorRecord& record) const {
  return Command(kReleaseError, 0, &record);
}

const FunctionEntry* ExtensionLibrary::FindFunction(std::string_view name) const {
  if (!described_ || description_.functions == nullptr) return nullptr;
  for (uint16_t i = 0; i < description_.functionCount; ++i) {
    const FunctionEntry& entry = description_.functions[i];
    if (SameName(entry.frenchName, name) || SameName(entry.englishName, name)) return &entry;
  }
  return nullptr;
}

const ConstantEntry* ExtensionLibrary::FindConstant(std::string_view name) const {
  if (!described_ || description_.constants == nullptr) return nullptr;
  for (uint16_t i = 0; i < description_.constantCount; ++i) {
    const ConstantEntry& entry = description_.constants[i];
    if (SameName(entry.frenchName, name) || SameName(entry.englishName, name)) return &entry;
  }
  return nullptr;
}

void* ExtensionLibrary::Symbol(const char* name) const {
  return module_ != nullptr ? kvp::GetProcAddress(module_, name) : nullptr;
}

std::optional<CallOutcome> ExtensionLibrary::CallByName(std::string_view name, int16_t syntax,
                                                        const std::vector<Argument>& arguments,
                                                        std::optional<ResultArea> area,
                                                        std::string* mismatch, bool keepReport) {
  auto refuse = [&](std::string why) -> std::optional<CallOutcome> {
    if (mismatch != nullptr) *mismatch = std::move(why);
    return std::nullopt;
  };
  const FunctionEntry* entry = FindFunction(name);
  if (entry == nullptr) return refuse("no language function " + std::string(name));
  if (syntax < 0 || syntax >= entry->syntaxCount) {
    return refuse(std::string(name) + " has no syntax " + std::to_string(syntax));
  }
  const SyntaxDescriptor& descriptor = entry->syntaxes[syntax];
  if (arguments.size() != descriptor.parameterCount) {
    return refuse(std::string(name) + " syntax " + std::to_string(syntax) + " takes " +
                  std::to_string(descriptor.parameterCount) + " arguments");
  }
  for (size_t k = 0; k < arguments.size(); ++k) {
    if (!ArgumentFits(descriptor.parameters[k].type, arguments[k])) {
      return refuse(std::string(name) + ": argument " + std::to_string(k + 1) +
                    " does not fit type " + std::to_string(descriptor.parameters[k].type));
    }
  }
  ResultArea chosen = area.value_or(ResultArea{descriptor.resultType, 256});
  // An integer given for a double parameter is converted, as the host does.
  std::vector<Argument> converted = arguments;
  for (size_t k = 0; k < converted.size(); ++k) {
    const auto* integer = std::get_if<int32_t>(&converted[k].value());
    if (descriptor.parameters[k].type == kArgDouble && integer != nullptr) {
      converted[k] = Argument::Double(*integer);
    }
  }
  return CallDirect(entry->function, syntax, converted, chosen, keepReport);
}

CallOutcome ExtensionLibrary::CallDirect(KvLanguageFunction function, int16_t syntax,
                                         const std::vector<Argument>& arguments,
                                         const ResultArea& area, bool keepReport) {
  std::vector<StoredArgument> stored(arguments.size());
  std::vector<void*> slots(arguments.size() + 1, nullptr);
  std::vector<uint16_t> sizes(arguments.size() + 1, 0);
  for (size_t k = 0; k < arguments.size(); ++k) {
    StoredArgument& s = stored[k];
    void*& slot = slots[k + 1];
    uint16_t& size = sizes[k + 1];
    std::visit(
        [&](const auto& value) {
          using T = std::decay_t<decltype(value)>;
          if constexpr (std::is_same_v<T, int32_t>) {
            s.integer = value;
            slot = &s.integer;
            size = sizeof s.integer;
          } else if constexpr (std::is_same_v<T, double>) {
            s.real = value;
            slot = &s.real;
            size = sizeof s.real;
          } else if constexpr (std::is_same_v<T, std::string>) {
            s.text.assign(value.begin(), value.end());
            s.text.push_back('\0');
            s.isText = true;
            slot = s.text.data();
            size = static_cast<uint16_t>(s.text.size());
          } else if constexpr (std::is_same_v<T, Argument::NullTextTag>) {
            slot = nullptr;
          } else if constexpr (std::is_same_v<T, FieldReference>) {
            s.field = value;
            slot = &s.field;
            size = sizeof s.field;
          } else {
            s.window = value.window;
            slot = &s.window;
            size = sizeof s.window;
          }
        },
        arguments[k].value());
  }

  std::vector<char> result(area.capacity + kGuardBytes, kGuardByte);
  auto call = std::make_unique<CallBlock>();
  std::memset(call.get(), 0, sizeof(CallBlock));
  call->syntaxIndex = syntax;
  call->arguments = slots.data();
  call->argumentSizes = sizes.data();
  call->resultType = area.presetType;
  call->resultBuffer = result.data();
  call->resultCapacity = area.capacity;
  call->instance = instance_;
  call->module = module_;

  CallOutcome outcome;
  outcome.returned = function(call.get());
  outcome.resultType = call->resultType;
  outcome.resultLength = call->resultLength;
  size_t shown = std::min<size_t>(call->resultLength, area.capacity);
  outcome.resultBytes.assign(result.data(), shown);
  outcome.terminated = shown < area.capacity && result[shown] == '\0';
  for (size_t i = area.capacity; i < result.size(); ++i) {
    if (result[i] != kGuardByte) outcome.overran = true;
  }
  outcome.errorMessage = call->errorMessage;

  ErrorRecord record = call->error;
  outcome.reported = record.kind != 0 || record.textCount != 0 || record.texts != nullptr;
  if (outcome.reported) {
    outcome.errorKind = record.kind;
    outcome.errorTextCount = record.textCount;
    outcome.errorRecordMessage = record.message;
    for (uint16_t i = 0; record.texts != nullptr && i < record.textCount; ++i) {
      const ErrorText& entry = record.texts[i];
      std::string text = entry.text != nullptr ? entry.text : "";
      if (entry.language == kLanguageFrench) outcome.frenchText = text;
      if (entry.language == kLanguageEnglish) outcome.englishText = text;
    }
    if (keepReport) {
      outcome.keptRecord = record;
    } else {
      ReleaseError(call->error);
    }
  }
  outcome.textsAfter.resize(arguments.size());
  for (size_t k = 0; k < arguments.size(); ++k) {
    if (stored[k].isText) outcome.textsAfter[k] = stored[k].text.data();
  }
  return outcome;
}

}  // namespace kvhost
