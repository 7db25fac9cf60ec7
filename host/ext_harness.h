// The host's side of the extension protocol: loads an extension library
// (kvchart, kvcomm) with the platform's module loader, speaks its command
// entry, finds language functions by their French or English names in the
// tables the library declared, builds the CallBlock of a chosen syntax from
// typed arguments, and reads back the result and the error report, which it
// releases with command 9 as the real host does. Tests of the libraries go
// through it so that they take the host's own path.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kv/ext_protocol.h"

namespace kvhost {

// One argument of a call, as the program would give it.
class Argument {
 public:
  static Argument Int(int32_t value) { return Argument(value); }
  static Argument Double(double value) { return Argument(value); }
  // Windows-1252 bytes; the library may change them in place (chart names).
  static Argument Text(std::string_view text) { return Argument(std::string(text)); }
  // A text slot that holds a null address, as a careless host might pass.
  static Argument NullText() { return Argument(NullTextTag{}); }
  static Argument Field(const FieldReference& field) { return Argument(field); }
  static Argument Window(void* window) { return Argument(WindowTag{window}); }

  struct NullTextTag {};
  struct WindowTag {
    void* window;
  };
  using Value = std::variant<int32_t, double, std::string, NullTextTag, FieldReference, WindowTag>;
  const Value& value() const { return value_; }

 private:
  explicit Argument(Value value) : value_(std::move(value)) {}
  Value value_;
};

// How the host presets the result area of a call.
struct ResultArea {
  uint8_t presetType = kResultNone;
  uint32_t capacity = 256;
};

// What a call gave back. The error report, when the function filled one, is
// copied out and released with command 9 (unless the caller keeps it).
struct CallOutcome {
  int32_t returned = 0;
  uint8_t resultType = 0;
  uint32_t resultLength = 0;
  std::string resultBytes;  // the first resultLength bytes of the buffer (capacity at most)
  bool terminated = false;  // a zero follows the text inside the buffer
  bool overran = false;     // the library wrote past the buffer's capacity
  uint32_t errorMessage = 0;
  bool reported = false;  // the function filled the ErrorRecord
  uint16_t errorKind = 0;
  uint16_t errorTextCount = 0;
  uint32_t errorRecordMessage = 0;
  std::string frenchText;
  std::string englishText;
  // The text arguments as they stand after the call (chart names are
  // upper-cased in place); empty for other arguments.
  std::vector<std::string> textsAfter;
  // Filled when the caller asked to keep the report: it must release it.
  std::optional<ErrorRecord> keptRecord;

  // The integer of a type 2 result.
  int32_t Integer() const;
  // The 16-bit value of a boolean result (type 3, kvcomm).
  int16_t Boolean() const;
};

class ExtensionLibrary {
 public:
  ExtensionLibrary() = default;
  ~ExtensionLibrary();
  ExtensionLibrary(const ExtensionLibrary&) = delete;
  ExtensionLibrary& operator=(const ExtensionLibrary&) = delete;

  // Loads the library by its Windows module name ("kvchart.dll") or its
  // Linux file name, and takes DLL_bCommande; `error` says what failed.
  bool Load(const char* moduleName, std::string& error);
  // Destroys the instance (command 2) if one is alive, then unloads.
  void Unload();

  // The command entry itself.
  int32_t Command(int16_t command, uintptr_t argument, void* block) const;

  // Command 1; the context is kept for every later call.
  bool CreateInstance();
  // Command 2 for the kept context.
  bool DestroyInstance();
  // Command 3 into a block the harness keeps (gaps preset to `fill`).
  bool Describe(uint8_t fill = 0);
  // Commands 4, 5, 6: the text the library names for `language`.
  std::optional<std::string> GroupName(uint32_t language) const;
  std::optional<std::string> Description(uint32_t language) const;
  std::optional<std::string> FurtherText(uint32_t language) const;
  // Command 10.
  std::optional<uint32_t> Version() const;
  // Command 12 for the kept context.
  bool SetLanguage(uint32_t language) const;
  // Command 8 for the kept context.
  int32_t BindVariable(uint32_t index, VariableDescriptor& descriptor) const;
  // Command 9.
  int32_t ReleaseError(ErrorRecord& record) const;

  // The tables the library declared (after Describe).
  const ExtensionDescription& description() const { return description_; }
  // A language function by its French or English name (ASCII letters
  // compared without regard to case, other bytes exactly); null if none.
  const FunctionEntry* FindFunction(std::string_view name) const;
  const ConstantEntry* FindConstant(std::string_view name) const;

  // An exported symbol of the library (for the drawing commands, which are
  // not in the function table).
  void* Symbol(const char* name) const;

  void* instance() const { return instance_; }
  void* module() const { return module_; }

  // Calls a language function of the table with the chosen syntax. The
  // arguments must match the syntax's parameter count and type codes (an
  // integer is accepted for a double); a mismatch is the caller's mistake and
  // gives nullopt with `mismatch` saying why. The preset result type defaults
  // to the syntax's own.
  std::optional<CallOutcome> CallByName(std::string_view name, int16_t syntax,
                                        const std::vector<Argument>& arguments,
                                        std::optional<ResultArea> area = std::nullopt,
                                        std::string* mismatch = nullptr, bool keepReport = false);

  // Calls any function with a CallBlock built from the arguments as they
  // are, without looking at a syntax descriptor (used for exports that are
  // not in the table, and for syntax indexes the table does not declare).
  CallOutcome CallDirect(KvLanguageFunction function, int16_t syntax,
                         const std::vector<Argument>& arguments, const ResultArea& area,
                         bool keepReport = false);

 private:
  void* module_ = nullptr;
  int32_t(KV_CALL* command_)(int16_t, uintptr_t, void*) = nullptr;
  void* instance_ = nullptr;
  ExtensionDescription description_{};
  bool described_ = false;
};

// True when a text argument of this type code may carry `argument`.
bool ArgumentFits(uint16_t typeCode, const Argument& argument);

}  // namespace kvhost
