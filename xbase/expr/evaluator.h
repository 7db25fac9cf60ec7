// The key-expression evaluator as the index families use it.
//
// An expression is evaluated on the record buffer of an open data file: the
// record last read (or prepared) is the one whose key is made. Spaces are
// removed and letters upper-cased on the evaluator's own copy of the text; the
// caller's text is never changed here (XBDXEVAL changes the host's text, as
// the host expects, before it calls the same code).
//
// Both functions are meant to be called inside an exported call whose entry
// has succeeded (XB_ENTER) and whose data file is selected: failures go
// through XB_FAIL (status set, log line written) and their code is returned.
// Codes: -7 syntax or type error in the expression, -3 memory, -21 null
// argument, and whatever a host function returns or a field conversion gives
// (-15 for a stored date that does not read).
#pragma once
#include <cstdint>
#include <string>

#include "kv/xbase.h"
#include "xbase/date/date_core.h"
#include "xbase/dbf/data_file.h"

namespace kv::xb::expr {

// Status of every syntax or type error of an expression.
inline constexpr XBSTATUS kExpressionError = XB_E_EXPRESSION;

// The value of a whole expression.
struct KeyValue {
  // 'C', 'D', 'F', 'N', 'L' or 'M'; ' ' for an empty expression.
  char type = ' ';
  // 'C': the characters (trailing spaces kept, no NUL);
  // 'D': the date text in the client's current date style (spaces when the
  //      date is blank);
  // 'L': one byte, 0 or 1 ('?' when blank), as XBDDFGET gives it.
  std::string text;
  // 'F', 'N': the number ('M': the memo block number).
  double number = 0.0;
  // 'D': the date read back from the text; all zero when the date is blank.
  date::Ymd date;
};

// Type and width of an expression's result, known without a record.
struct KeyShape {
  char type = ' ';  // as KeyValue::type
  // 'C': number of characters; 'D': width of the date text in the current
  // style; 'F', 'N': 8 (a double); 'L': 1; 'M': 4; ' ': 0.
  uint16_t length = 0;
};

// Evaluates `expression` on the current record buffer of `file`.
XBSTATUS EvaluateKey(dbf::DataFile& file, const char* expression, KeyValue* out);

// Tells the type and width of `expression`'s result for `file` by evaluating
// it on a blank record (every byte a space); the record buffer is left as it
// was. Used when an index is created before any record is read.
XBSTATUS DescribeKey(dbf::DataFile& file, const char* expression, KeyShape* out);

}  // namespace kv::xb::expr
