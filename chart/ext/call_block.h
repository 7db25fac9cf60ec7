// Reading the arguments of a language-function call and writing its result.
//
// Argument slot k (from 1) holds the address of parameter k as the chosen
// syntax's type code says. A host that passes no slot array or a null slot
// gets 0, 0.0 or null back rather than a crash.
#pragma once
#include <cstdint>

#include "kv/ext_protocol.h"

namespace kv::ext {

// The syntax the host chose for this call.
int16_t SyntaxIndex(const CallBlock& call);

// Parameters of type 0x0c or 0x04: the 32-bit integer, or its low 16 bits
// read as a signed number.
int32_t ArgInt(const CallBlock& call, int k);
int16_t ArgInt16(const CallBlock& call, int k);

// Parameter of type 0x0d.
double ArgDouble(const CallBlock& call, int k);

// Parameters of type 0x0b or 0x08: the host's own buffer (chart names are
// upper-cased in place). Null when the host passed none.
char* ArgText(const CallBlock& call, int k);

// Parameter of type 0x0f; null when the host passed none.
const FieldReference* ArgField(const CallBlock& call, int k);

// Parameter of type 0x10: the window handle the slot points at.
void* ArgWindow(const CallBlock& call, int k);

// The InstanceContext of command 1 and the library's module handle.
void* InstanceOf(const CallBlock& call);
void* ModuleOf(const CallBlock& call);

// True when the preset result type accepts a result of `type` (the type
// itself, 9 or 10).
bool AcceptsResult(const CallBlock& call, uint8_t type);

// Integer result (type 2): refused (false, nothing written) when the preset
// type does not accept it or the buffer cannot hold 4 bytes.
bool SetIntResult(CallBlock& call, int32_t value);

// Text result (type 6): refused when the preset type does not accept it.
// The text is cut so that it and its terminating zero fit the capacity; the
// stored length is the copied length. A null text is the empty text.
bool SetTextResult(CallBlock& call, const char* text);

}  // namespace kv::ext
