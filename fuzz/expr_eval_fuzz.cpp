// Evaluates arbitrary expression text against one fixed record holding a
// field of every type, with two host functions registered so that XBDXPROC
// and XBDXVGET are reached from inside an evaluation. Every evaluation must
// give back every block it took.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/engine_fuzz_support.h"
#include "kv/xbase.h"
#include "platform/kernel/memory.h"

namespace {

XBHANDLE handle = XB_NO_HANDLE;

void PutLE16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

// One record: NAME C10, BIRTH D8, AMOUNT N8.2, OK L1, RATE F10.4, NOTES M10.
std::vector<uint8_t> FixedFile() {
  struct Field {
    const char* name;
    char type;
    uint8_t length;
    uint8_t decimals;
  };
  const Field fields[] = {{"NAME", 'C', 10, 0}, {"BIRTH", 'D', 8, 0}, {"AMOUNT", 'N', 8, 2},
                          {"OK", 'L', 1, 0},    {"RATE", 'F', 10, 4}, {"NOTES", 'M', 10, 0}};
  const char record[] = " Smith     19960229   12.50T    0.1250        12";
  const size_t count = sizeof fields / sizeof fields[0];
  const size_t headerLength = 32 * count + 33;
  std::vector<uint8_t> b(headerLength, 0);
  b[0] = 0x83;
  b[1] = 126;
  b[2] = 12;
  b[3] = 8;
  b[4] = 1;  // one record
  PutLE16(b, 8, static_cast<uint16_t>(headerLength));
  PutLE16(b, 10, static_cast<uint16_t>(sizeof record - 1));
  for (size_t i = 0; i < count; ++i) {
    uint8_t* d = &b[32 + 32 * i];
    std::memcpy(d, fields[i].name, std::strlen(fields[i].name));
    d[11] = static_cast<uint8_t>(fields[i].type);
    d[16] = fields[i].length;
    d[17] = fields[i].decimals;
  }
  b[headerLength - 1] = 0x0D;
  b.insert(b.end(), record, record + sizeof record - 1);
  b.push_back(0x1A);
  return b;
}

// UPPER(text): an inner term through XBDXPROC, changed in its block.
XBSTATUS KV_CALL Upper(XBEVALSTATE* state) {
  const XBSTATUS s = XBDXPROC();
  if (s < 0) return s;
  if (state->type != 'C') return XB_E_EXPRESSION;
  char* text = static_cast<char*>(state->value);
  for (uint16_t i = 0; i + 1 < state->length; ++i) {
    if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - 32);
  }
  if (*state->cursor != ')') return XB_E_EXPRESSION;
  ++state->cursor;
  return 0;
}

// PAD(text,n): the text and an integer read with XBDXVGET, in a new block.
XBSTATUS KV_CALL Pad(XBEVALSTATE* state) {
  XBSTATUS s = XBDXPROC();
  if (s < 0) return s;
  if (state->type != 'C') return XB_E_EXPRESSION;
  std::string text(static_cast<const char*>(state->value));
  int16_t n = 0;
  if ((s = XBDXVGET(&n)) < 0) return s;
  if (n < 0 || n > 300) return XB_E_EXPRESSION;
  text.resize(static_cast<size_t>(n), '.');
  KVHGLOBAL block = 0;
  void* address = nullptr;
  if ((s = _XBMALLOC(&block, static_cast<uint32_t>(text.size() + 1))) < 0) return s;
  if ((s = _XBMLOCK(&address, block)) < 0) return s;
  std::memcpy(address, text.c_str(), text.size() + 1);
  state->valueBlock = block;
  state->value = address;
  state->type = 'C';
  state->length = static_cast<uint16_t>(text.size() + 1);
  if (*state->cursor != ')') return XB_E_EXPRESSION;
  ++state->cursor;
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kvfuzz::StartEngine("expr");
  const std::vector<uint8_t> bytes = FixedFile();
  if (!kvfuzz::WriteScratch(bytes.data(), bytes.size())) std::abort();
  if (XBDDOPENX(&handle, kvfuzz::ScratchFile().c_str(), 0) != 0 || XBDDRGET(handle, 1) != 0)
    std::abort();
  char upper[] = "UPPER(";
  char pad[] = "PAD(";
  if (XBDXADD(upper, Upper) != 0 || XBDXADD(pad, Pad) != 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte chooses the date style; the rest is the expression.
  XBESCODE(0);
  XBCDSTYLE(static_cast<int16_t>(1 + data[0] % 15));
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  text = text.c_str();  // the engine reads up to the first NUL
  const size_t blocks = kvp::GlobalLiveBlocks();
  XBEVALRESULT result{};
  const XBSTATUS status = XBDXEVAL(handle, text.data(), &result);
  if (status >= 0) {
    if (result.value == nullptr) std::abort();
    XBMFREE(result.value);
  } else if (result.value != nullptr) {
    std::abort();  // an error must leave no result
  }
  if (kvp::GlobalLiveBlocks() != blocks) std::abort();
  XBESCODE(0);
  return 0;
}
