// XBDXEVAL, XBDXPROC and XBDXVGET: the evaluator as the host calls it.
#include <cstring>

#include "xbase/dbf/data_file.h"
#include "xbase/expr/eval_core.h"
#include "xbase/frame/engine.h"

using namespace kv::xb;
using namespace kv::xb::expr;

namespace {

constexpr const char* kModule = "EVAL";

// The result block handed to the host: the value and, for texts, a NUL.
XBSTATUS HandOver(const Value& v, XBEVALRESULT* result) {
  size_t bytes = 0;
  switch (v.type) {
    case 'C':
    case 'D':
    case ' ':
      bytes = v.text.size() + 1;
      break;
    case 'F':
    case 'N':
      bytes = sizeof(double);
      break;
    case 'M':
      bytes = sizeof(int32_t);
      break;
    default:
      bytes = 1;
      break;
  }
  void* address = nullptr;
  if (AllocateLocked(bytes, &address) == 0) return Status();
  auto* out = static_cast<char*>(address);
  uint16_t length = 0;
  switch (v.type) {
    case 'F':
    case 'N':
      std::memcpy(out, &v.number, sizeof(double));
      length = sizeof(double);
      break;
    case 'M': {
      const auto memo = static_cast<int32_t>(v.number);
      std::memcpy(out, &memo, sizeof memo);
      length = sizeof memo;
      break;
    }
    case 'L':
      out[0] = v.text.empty() ? '?' : v.text[0];
      length = 1;
      break;
    default:  // 'C', 'D', ' '
      std::memcpy(out, v.text.data(), v.text.size());
      length = static_cast<uint16_t>(v.text.size());
      break;
  }
  result->value = address;
  result->type = static_cast<uint16_t>(v.type);
  result->length = length;
  return 0;
}

// The cursor a host function hands back must still lie in the text.
bool CursorInText(const Evaluation& ev) {
  return ev.state.cursor >= ev.begin && ev.state.cursor <= ev.end;
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDXEVAL(XBHANDLE handle, char* expression, XBEVALRESULT* result) {
  XB_ENTER();
  if (expression == nullptr || result == nullptr) return XB_FAIL(XB_E_NULL);
  result->value = nullptr;
  result->type = ' ';
  result->length = 0;
  NormalizeInPlace(expression);
  dbf::DataFile* file = dbf::SelectData(handle);
  if (file == nullptr) return Status();
  Value v;
  const XBSTATUS s = RunExpression(*file, expression, &v);
  if (s < 0) return s;
  if (HandOver(v, result) < 0) return Status();
  return Status();
}

KV_API XBSTATUS KV_CALL XBDXPROC(void) {
  XB_ENTER(Warnings::Keep);
  Evaluation* ev = Active();
  if (ev == nullptr) return XB_FAIL(XB_E_ARGUMENT);  // no expression is being evaluated
  if (!CursorInText(*ev)) return XB_FAIL(XB_E_EXPRESSION);
  Value v;
  XBSTATUS s = EvaluateTerm(*ev, &v);
  if (s < 0) return s;
  if ((s = PublishValue(*ev, v)) < 0) return s;
  return Status();
}

KV_API XBSTATUS KV_CALL XBDXVGET(int16_t* value) {
  XB_ENTER(Warnings::Keep);
  if (value == nullptr) return XB_FAIL(XB_E_NULL);
  Evaluation* ev = Active();
  if (ev == nullptr) return XB_FAIL(XB_E_ARGUMENT);
  if (!CursorInText(*ev)) return XB_FAIL(XB_E_EXPRESSION);
  const XBSTATUS s = ReadInteger(*ev, value);
  if (s < 0) return s;
  return Status();
}
