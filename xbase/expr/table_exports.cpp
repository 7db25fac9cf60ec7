// XBDXADD, XBDXDEL, XBDXLIST and XBDXINFO: the client's named host functions.
#include <cstring>
#include <string>

#include "xbase/expr/function_table.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/text.h"

using namespace kv::xb;
using namespace kv::xb::expr;

namespace {

constexpr const char* kModule = "XADD";

// Names are kept with a 16-bit length; an empty name would match every term.
bool ValidNameLength(size_t length) {
  return length > 0 && length <= UINT16_MAX;
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDXADD(char* name, XBEXPRFUNC function) {
  XB_ENTER();
  if (name == nullptr || function == nullptr) return XB_FAIL(XB_E_NULL);
  for (char* p = name; *p != '\0'; ++p) *p = UpperAscii(*p);
  const size_t length = std::strlen(name);
  if (!ValidNameLength(length)) return XB_FAIL(XB_E_ARGUMENT);
  const XBSTATUS s = AddFunction(Current().expressions, name, length, function);
  if (s < 0) return s;
  return Status();
}

KV_API XBSTATUS KV_CALL XBDXDEL(const char* name) {
  XB_ENTER();
  if (name == nullptr) return XB_FAIL(XB_E_NULL);
  // Names are stored in upper case; the caller's text is left as it is.
  std::string upper(name);
  for (char& c : upper) c = UpperAscii(c);
  if (!ValidNameLength(upper.size())) return SetState(XB_NAME_NOT_FOUND);
  const XBSTATUS s = DeleteFunction(Current().expressions, upper.data(), upper.size());
  if (s < 0) return s;
  return Status();
}

KV_API XBSTATUS KV_CALL XBDXLIST(char* name, uint16_t index) {
  XB_ENTER();
  if (name == nullptr) return XB_FAIL(XB_E_NULL);
  if (!FunctionName(Current().expressions, index, name)) return SetState(XB_LIST_END);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDXINFO(uint16_t* count, uint16_t* longest) {
  XB_ENTER();
  if (count == nullptr || longest == nullptr) return XB_FAIL(XB_E_NULL);
  const ExpressionTable& table = Current().expressions;
  *count = table.capacity == 0 ? 0 : table.count;
  *longest = LongestName(table);
  if (*count == 0) return SetState(XB_TABLE_EMPTY);
  return Status();
}
