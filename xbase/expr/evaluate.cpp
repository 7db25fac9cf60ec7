// Whole expressions: terms joined by concatenation or addition.
#include <cstring>
#include <string>

#include "xbase/expr/eval_core.h"
#include "xbase/expr/evaluator.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/text.h"

namespace kv::xb::expr {
namespace {

constexpr const char* kModule = "EVAL";

// A character result must stay describable by a 16-bit length.
constexpr size_t kMaxResultText = UINT16_MAX;

Evaluation* active = nullptr;

// Makes an evaluation the active one for its lifetime and frees the state's
// value block at the end; the previous evaluation (a host function may run
// XBDXEVAL itself) comes back afterwards.
class ActiveGuard {
 public:
  explicit ActiveGuard(Evaluation& ev) : ev_(ev), previous_(active) { active = &ev; }
  ~ActiveGuard() {
    DropStateBlock(ev_);
    active = previous_;
  }
  ActiveGuard(const ActiveGuard&) = delete;
  ActiveGuard& operator=(const ActiveGuard&) = delete;

 private:
  Evaluation& ev_;
  Evaluation* previous_;
};

// Joins `term` to the result so far.
XBSTATUS Combine(Value& result, Value& term, bool plus) {
  if (term.type == 'C') {
    if (result.type != ' ' && result.type != 'C') return XB_FAIL(XB_E_EXPRESSION);
    if (result.text.size() + term.text.size() > kMaxResultText) return XB_FAIL(XB_E_EXPRESSION);
    result.type = 'C';
    result.text += term.text;
    return 0;
  }
  if (result.type == ' ') {
    result = std::move(term);
    return 0;
  }
  if (term.type == 'F' || term.type == 'N') {
    if (result.type != 'F' && result.type != 'N') return XB_FAIL(XB_E_EXPRESSION);
    if (plus) result.number += term.number;
    return 0;
  }
  return 0;  // a later date, logical or memo term adds nothing
}

XBSTATUS ToKeyValue(Value& v, KeyValue* out) {
  out->type = v.type;
  out->text = std::move(v.text);
  out->number = v.number;
  out->date = v.date;
  return 0;
}

}  // namespace

Evaluation* Active() {
  return active;
}

void NormalizeInPlace(char* text) {
  char* to = text;
  for (const char* from = text; *from != '\0'; ++from) {
    if (*from != ' ') *to++ = UpperAscii(*from);
  }
  *to = '\0';
}

XBSTATUS RunExpression(dbf::DataFile& file, const char* text, Value* result) {
  // The host's functions see the cursor as a char*; they work on this copy.
  std::string working(text);
  Evaluation ev;
  ev.file = &file;
  ev.begin = working.data();
  ev.end = working.data() + working.size();
  ev.state.cursor = working.data();
  const ActiveGuard guard(ev);
  Value sum;
  while (ev.state.cursor < ev.end && *ev.state.cursor != '\0') {
    const bool plus = *ev.state.cursor == '+';
    if (plus) ++ev.state.cursor;
    Value term;
    XBSTATUS s = EvaluateTerm(ev, &term);
    if (s < 0) return s;
    if ((s = Combine(sum, term, plus)) < 0) return s;
  }
  *result = std::move(sum);
  return 0;
}

XBSTATUS EvaluateKey(dbf::DataFile& file, const char* expression, KeyValue* out) {
  if (expression == nullptr || out == nullptr) return XB_FAIL(XB_E_NULL);
  std::string text(expression);
  NormalizeInPlace(text.data());
  Value v;
  const XBSTATUS s = RunExpression(file, text.c_str(), &v);
  if (s < 0) return s;
  return ToKeyValue(v, out);
}

XBSTATUS DescribeKey(dbf::DataFile& file, const char* expression, KeyShape* out) {
  if (expression == nullptr || out == nullptr) return XB_FAIL(XB_E_NULL);
  uint8_t* record = file.recordBytes();
  const std::string saved(reinterpret_cast<const char*>(record), file.recordLength);
  std::memset(record, ' ', file.recordLength);
  KeyValue v;
  const XBSTATUS s = EvaluateKey(file, expression, &v);
  std::memcpy(record, saved.data(), saved.size());
  if (s < 0) return s;
  out->type = v.type;
  switch (v.type) {
    case 'C':
    case 'D':
      out->length = static_cast<uint16_t>(v.text.size());
      break;
    case 'F':
    case 'N':
      out->length = sizeof(double);
      break;
    case 'M':
      out->length = sizeof(int32_t);
      break;
    case 'L':
      out->length = 1;
      break;
    default:
      out->length = 0;
      break;
  }
  return 0;
}

}  // namespace kv::xb::expr
