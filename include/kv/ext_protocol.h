/* Records of the host extension protocol shared by kvchart and kvcomm.
 *
 * The host creates an instance through DLL_bCommande, reads the library's
 * tables of language functions, constants and variables, and then calls each
 * language function with one CallBlock. Every record is packed with the field
 * order and widths the host relies on; address fields are pointer-sized, so a
 * 32-bit build has exactly the offsets checked below and a 64-bit build shifts
 * them by the wider pointers. Gaps that the libraries neither read nor write
 * are explicit byte arrays. Texts are zero-terminated Windows-1252.
 */
#ifndef KV_EXT_PROTOCOL_H
#define KV_EXT_PROTOCOL_H

#include <stddef.h>
#include <stdint.h>

#include "kv/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Parameter type codes of a syntax's parameter slots; each says what the
 * argument slot of a call holds. */
enum {
  kArgSerial = 0x02,  /* kvcomm's serial port functions */
  kArgIntAlt = 0x04,  /* address of a 32-bit integer (sibling syntax takes text there) */
  kArgTextAlt = 0x08, /* address of a text (sibling syntax takes an integer there) */
  kArgText = 0x0b,    /* address of a zero-terminated text */
  kArgInt = 0x0c,     /* address of a 32-bit integer */
  kArgDouble = 0x0d,  /* address of an 8-byte IEEE double */
  kArgField = 0x0f,   /* address of a FieldReference */
  kArgWindow = 0x10   /* address of a window handle */
};

/* Result type codes of the CallBlock's result area. The host presets the type
 * it expects; kResultAny9 and kResultAny10 accept any result. */
enum {
  kResultNone = 0,
  kResultInt = 2,  /* 32-bit integer at the start of the buffer, length 4 */
  kResultText = 6, /* zero-terminated text, length without the zero */
  kResultAny9 = 9,
  kResultAny10 = 10
};

/* Constant and variable type codes. */
enum { kValueInt = 3, kValueText = 15 };

/* Error record kinds and text languages. */
enum { kLanguageFrench = 0, kLanguageEnglish = 1 };

#define KV_EXT_MAX_PARAMETERS 10
#define KV_EXT_MAX_SYNTAXES 6
#define KV_EXT_TRACE_NAME_LENGTH 20

#pragma pack(push, 1)

struct CallBlock;

/* A language function: 1 for success, 0 for failure (with an ErrorRecord
 * filled in the CallBlock when the failure is reported). */
typedef int32_t(KV_CALL* KvLanguageFunction)(struct CallBlock* call);

/* One parameter slot of a syntax (6 bytes). */
typedef struct ParameterSlot {
  uint16_t type;     /* kArg* code; 0 past the parameter count */
  uint32_t reserved; /* 0 in every table */
} ParameterSlot;

/* One syntax of a language function (63 bytes). */
typedef struct SyntaxDescriptor {
  uint8_t parameterCount; /* 0..10 */
  uint8_t resultType;     /* 0 = no value besides success */
  ParameterSlot parameters[KV_EXT_MAX_PARAMETERS];
  uint8_t end; /* 0 */
} SyntaxDescriptor;

/* One language function (19 bytes on 32-bit). */
typedef struct FunctionEntry {
  uint8_t syntaxCount; /* 1..6; syntaxes are numbered from 0 */
  const SyntaxDescriptor* syntaxes;
  const char* frenchName;
  const char* englishName;
  KvLanguageFunction function;
  uint16_t reserved; /* 0 */
} FunctionEntry;

/* One language constant (13 bytes on 32-bit). */
typedef struct ConstantEntry {
  const char* frenchName;
  const char* englishName;
  uint8_t type; /* kValueInt */
  int32_t value;
} ConstantEntry;

/* Where a language variable lives and what it holds (11 bytes on 32-bit). */
typedef struct VariableDescriptor {
  void* storage;        /* inside the library; filled in by command 8 */
  uint8_t type;         /* kValueInt or kValueText */
  uint16_t elementSize; /* 4 for integers; the capacity for texts */
  uint16_t elementCount;
  uint16_t reserved; /* 0 */
} VariableDescriptor;

/* One language variable (19 bytes on 32-bit): its names and a descriptor
 * template whose storage address is null. */
typedef struct VariableEntry {
  const char* frenchName;
  const char* englishName;
  VariableDescriptor descriptor;
} VariableEntry;

/* The block that command 3 fills (75 bytes on 32-bit). The host supplies it;
 * the library writes only the named fields of its tables and leaves the gaps
 * (and the variable fields when it declares no variables) as it found them. */
typedef struct ExtensionDescription {
  uint8_t notWritten0[4];
  uint16_t functionCount;
  const FunctionEntry* functions;
  uint8_t notWritten1[10];
  uint16_t constantCount;
  const ConstantEntry* constants;
  uint8_t notWritten2[10];
  uint16_t variableCount;
  const VariableEntry* variables;
  uint8_t notWritten3[10];
  uint16_t libraryCode;                     /* 6 kvchart, 10 kvcomm */
  char traceFile[KV_EXT_TRACE_NAME_LENGTH]; /* zero-filled after the text */
  char traceFileEnd;                        /* 0 */
} ExtensionDescription;

/* One text of an error report (6 bytes on 32-bit). */
typedef struct ErrorText {
  uint16_t language; /* kLanguageFrench or kLanguageEnglish */
  char* text;        /* locked moveable global block */
} ErrorText;

/* An error report (12 bytes on 32-bit). The text array and each text are
 * locked moveable global blocks; command 9 frees them and zero-fills the
 * record. */
typedef struct ErrorRecord {
  uint16_t kind; /* 1 or 2 */
  uint16_t textCount;
  uint32_t message;
  ErrorText* texts;
} ErrorRecord;

/* A field of a window as chart destination (24 bytes on 32-bit): the device
 * context for drawing into the field, the field's window, then four words the
 * libraries do not read. */
typedef struct FieldReference {
  void* deviceContext;
  void* window;
  uint32_t unread[4];
} FieldReference;

/* The block of one language-function call (87 bytes on 32-bit). Argument
 * slot k (from 1) holds the address of parameter k as the chosen syntax's
 * type code says; slot 0 is not read. */
typedef struct CallBlock {
  uint8_t notRead0[2];
  int16_t syntaxIndex; /* from 0, in the order of the SyntaxDescriptors */
  uint8_t notRead1[2];
  void* const* arguments;
  uint8_t notRead2[4];
  const uint16_t* argumentSizes; /* entry k: size of argument k (texts count their zero) */
  uint8_t notRead3[4];
  uint8_t resultType; /* preset by the host, rewritten by the function */
  void* resultBuffer; /* host-owned */
  uint32_t resultCapacity;
  uint32_t resultLength; /* texts: without the terminating zero */
  uint8_t notRead4[4];
  uint32_t errorMessage; /* message number of the last error */
  uint8_t notRead5[10];
  void* instance; /* the context that command 1 returned */
  uint8_t notRead6[14];
  void* module; /* the extension library's module handle */
  ErrorRecord error;
} CallBlock;

#pragma pack(pop)

#if defined(__cplusplus) && (defined(__i386__) || defined(_M_IX86))
/* The layouts the host relies on, checked where pointers are 32 bits wide. */
static_assert(sizeof(void*) == 4, "32-bit target");
static_assert(sizeof(ParameterSlot) == 6, "ParameterSlot");
static_assert(sizeof(SyntaxDescriptor) == 63, "SyntaxDescriptor");
static_assert(offsetof(SyntaxDescriptor, resultType) == 1, "SyntaxDescriptor");
static_assert(offsetof(SyntaxDescriptor, parameters) == 2, "SyntaxDescriptor");
static_assert(offsetof(SyntaxDescriptor, end) == 62, "SyntaxDescriptor");
static_assert(sizeof(FunctionEntry) == 19, "FunctionEntry");
static_assert(offsetof(FunctionEntry, syntaxes) == 1, "FunctionEntry");
static_assert(offsetof(FunctionEntry, frenchName) == 5, "FunctionEntry");
static_assert(offsetof(FunctionEntry, englishName) == 9, "FunctionEntry");
static_assert(offsetof(FunctionEntry, function) == 13, "FunctionEntry");
static_assert(offsetof(FunctionEntry, reserved) == 17, "FunctionEntry");
static_assert(sizeof(ConstantEntry) == 13, "ConstantEntry");
static_assert(offsetof(ConstantEntry, englishName) == 4, "ConstantEntry");
static_assert(offsetof(ConstantEntry, type) == 8, "ConstantEntry");
static_assert(offsetof(ConstantEntry, value) == 9, "ConstantEntry");
static_assert(sizeof(VariableDescriptor) == 11, "VariableDescriptor");
static_assert(offsetof(VariableDescriptor, type) == 4, "VariableDescriptor");
static_assert(offsetof(VariableDescriptor, elementSize) == 5, "VariableDescriptor");
static_assert(offsetof(VariableDescriptor, elementCount) == 7, "VariableDescriptor");
static_assert(offsetof(VariableDescriptor, reserved) == 9, "VariableDescriptor");
static_assert(sizeof(VariableEntry) == 19, "VariableEntry");
static_assert(offsetof(VariableEntry, englishName) == 4, "VariableEntry");
static_assert(offsetof(VariableEntry, descriptor) == 8, "VariableEntry");
static_assert(sizeof(ExtensionDescription) == 75, "ExtensionDescription");
static_assert(offsetof(ExtensionDescription, functionCount) == 4, "ExtensionDescription");
static_assert(offsetof(ExtensionDescription, functions) == 6, "ExtensionDescription");
static_assert(offsetof(ExtensionDescription, notWritten1) == 10, "ExtensionDescription");
static_assert(offsetof(ExtensionDescription, constantCount) == 20, "ExtensionDescription");
static_assert(offsetof(ExtensionDescription, constants) == 22, "ExtensionDescription");
static_assert(offsetof(ExtensionDescription, notWritten2) == 26, "ExtensionDescription");
static_assert(offsetof(ExtensionDescription, variableCount) == 36, "ExtensionDescription");
static_assert(offsetof(ExtensionDescription, variables) == 38, "ExtensionDescription");
static_assert(offsetof(ExtensionDescription, notWritten3) == 42, "ExtensionDescription");
static_assert(offsetof(ExtensionDescription, libraryCode) == 52, "ExtensionDescription");
static_assert(offsetof(ExtensionDescription, traceFile) == 54, "ExtensionDescription");
static_assert(offsetof(ExtensionDescription, traceFileEnd) == 74, "ExtensionDescription");
static_assert(sizeof(ErrorText) == 6, "ErrorText");
static_assert(offsetof(ErrorText, text) == 2, "ErrorText");
static_assert(sizeof(ErrorRecord) == 12, "ErrorRecord");
static_assert(offsetof(ErrorRecord, textCount) == 2, "ErrorRecord");
static_assert(offsetof(ErrorRecord, message) == 4, "ErrorRecord");
static_assert(offsetof(ErrorRecord, texts) == 8, "ErrorRecord");
static_assert(sizeof(FieldReference) == 24, "FieldReference");
static_assert(offsetof(FieldReference, window) == 4, "FieldReference");
static_assert(sizeof(CallBlock) == 87, "CallBlock");
static_assert(offsetof(CallBlock, syntaxIndex) == 2, "CallBlock");
static_assert(offsetof(CallBlock, arguments) == 6, "CallBlock");
static_assert(offsetof(CallBlock, argumentSizes) == 14, "CallBlock");
static_assert(offsetof(CallBlock, resultType) == 22, "CallBlock");
static_assert(offsetof(CallBlock, resultBuffer) == 23, "CallBlock");
static_assert(offsetof(CallBlock, resultCapacity) == 27, "CallBlock");
static_assert(offsetof(CallBlock, resultLength) == 31, "CallBlock");
static_assert(offsetof(CallBlock, errorMessage) == 39, "CallBlock");
static_assert(offsetof(CallBlock, instance) == 53, "CallBlock");
static_assert(offsetof(CallBlock, module) == 71, "CallBlock");
static_assert(offsetof(CallBlock, error) == 75, "CallBlock");
#endif

#ifdef __cplusplus
}
#endif

#endif /* KV_EXT_PROTOCOL_H */
