// The evaluator's working parts shared by the exports and the index API.
//
// The evaluator runs over a working copy of the expression text (spaces
// removed, upper case) with one cursor, the one the host sees in
// XBEVALSTATE, so that named host functions and the built-in terms advance
// the same position. Values are kept as C++ values while the engine works;
// they become global blocks only where the host sees them (the state after
// XBDXPROC and around a host function, the result of XBDXEVAL).
#pragma once
#include <cstdint>
#include <string>

#include "kv/xbase.h"
#include "xbase/date/date_core.h"
#include "xbase/dbf/data_file.h"

namespace kv::xb::expr {

// The value of one term or of the accumulated result.
struct Value {
  char type = ' ';    // 'C', 'D', 'F', 'L', 'M', 'N'; ' ' before the first term
  std::string text;   // 'C' characters, 'D' date text, 'L' one byte
  double number = 0;  // 'F', 'N'; 'M' the memo block number
  date::Ymd date;     // 'D': the date the text stands for (zeros when blank)
};

// Terms nest at most this deep (SUBSTR(SUBSTR(...)), host functions calling
// XBDXPROC); deeper nesting is refused with -7 instead of exhausting the stack.
inline constexpr int kMaxDepth = 64;

// One evaluation in progress.
struct Evaluation {
  dbf::DataFile* file = nullptr;
  const char* begin = nullptr;  // the working text
  const char* end = nullptr;    // its closing NUL
  XBEVALSTATE state{};          // the host's view; state.cursor is the cursor
  KVHGLOBAL published = 0;      // the block the engine last put in the state
  int depth = 0;
};

// The evaluation in progress (null outside XBDXEVAL and the index API).
Evaluation* Active();

// Removes every space and upper-cases the letters of `text` in place.
void NormalizeInPlace(char* text);

// Runs a whole expression (already normalized, NUL-terminated) on `file`'s
// record buffer. Makes the evaluation active for its duration, so host
// functions can call XBDXPROC and XBDXVGET. Every failure has gone through
// XB_FAIL when the code is returned.
XBSTATUS RunExpression(dbf::DataFile& file, const char* text, Value* result);

// One term at the cursor (XBDXPROC's work).
XBSTATUS EvaluateTerm(Evaluation& ev, Value* out);

// One integer argument at the cursor (XBDXVGET's work).
XBSTATUS ReadInteger(Evaluation& ev, int16_t* out);

// The host's view of a value: the state's value block is replaced by a new
// block holding `value` (the old one is freed).
XBSTATUS PublishValue(Evaluation& ev, const Value& value);
// Reads the value a host function left in the state (-7 when it left none
// or a malformed one).
XBSTATUS AdoptValue(Evaluation& ev, Value* out);
// Frees the state's value block.
void DropStateBlock(Evaluation& ev);

// Allocates an engine block holding `size` bytes plus the spare ones, locked;
// 0 with -3 set when memory runs out.
KVHGLOBAL AllocateLocked(size_t size, void** address);
// Unlocks a block as often as it is locked and frees it (stale handles are
// ignored).
void FreeBlock(KVHGLOBAL block);

}  // namespace kv::xb::expr
