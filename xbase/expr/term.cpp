// One term of an expression: a named host function, a built-in function, a
// field, a number or a text.
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "xbase/dbf/field_convert.h"
#include "xbase/expr/eval_core.h"
#include "xbase/expr/function_table.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/number_text.h"

namespace kv::xb::expr {
namespace {

constexpr const char* kModule = "XPROC";

// A simple term (field name, number or text) is at most this long.
constexpr size_t kMaxSimpleTerm = 10;
// STR( widths and decimals the evaluator accepts.
constexpr int kDefaultStrWidth = 10;
constexpr int kMaxStrWidth = 255;
constexpr int kMaxStrDecimals = 15;

bool AtEnd(const Evaluation& ev) {
  return ev.state.cursor >= ev.end || *ev.state.cursor == '\0';
}

char Here(const Evaluation& ev) {
  return AtEnd(ev) ? '\0' : *ev.state.cursor;
}

// Steps over `word` when the text at the cursor begins with it.
bool Take(Evaluation& ev, const char* word) {
  const size_t n = std::strlen(word);
  if (static_cast<size_t>(ev.end - ev.state.cursor) < n) return false;
  if (std::memcmp(ev.state.cursor, word, n) != 0) return false;
  ev.state.cursor += n;
  return true;
}

// Steps over the closing parenthesis of a function; anything else is a
// syntax error.
XBSTATUS Close(Evaluation& ev) {
  if (Here(ev) != ')') return XB_FAIL(XB_E_EXPRESSION);
  ++ev.state.cursor;
  return 0;
}

// Counts nesting for the duration of one term.
class DepthGuard {
 public:
  explicit DepthGuard(Evaluation& ev) : ev_(ev) { ++ev_.depth; }
  ~DepthGuard() { --ev_.depth; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;
  bool tooDeep() const { return ev_.depth > kMaxDepth; }

 private:
  Evaluation& ev_;
};

// Makes dates read as eight digits (style 4) while a DTOS( argument is
// evaluated; the client's style comes back whatever happens.
class DateStyleGuard {
 public:
  explicit DateStyleGuard(uint16_t style) : saved_(Current().dateStyle) {
    Current().dateStyle = style;
  }
  ~DateStyleGuard() { Current().dateStyle = saved_; }
  DateStyleGuard(const DateStyleGuard&) = delete;
  DateStyleGuard& operator=(const DateStyleGuard&) = delete;

 private:
  uint16_t saved_;
};

XBSTATUS TermOfType(Evaluation& ev, Value* out, const char* types) {
  const XBSTATUS s = EvaluateTerm(ev, out);
  if (s < 0) return s;
  if (std::strchr(types, out->type) == nullptr || out->type == '\0') {
    return XB_FAIL(XB_E_EXPRESSION);
  }
  return 0;
}

// A count or position argument: an integer after a ','.
XBSTATUS Argument(Evaluation& ev, int16_t* value) {
  if (Here(ev) != ',') return XB_FAIL(XB_E_EXPRESSION);
  return ReadInteger(ev, value);
}

// SUBSTR(text,start[,length]): start counts from 1; a start beyond the text
// gives an empty text and a length beyond it stops at its end, so nothing
// outside the text is ever taken.
XBSTATUS Substr(Evaluation& ev, Value* out) {
  XBSTATUS s = TermOfType(ev, out, "C");
  if (s < 0) return s;
  int16_t start = 0;
  if ((s = Argument(ev, &start)) < 0) return s;
  if (start < 1) return XB_FAIL(XB_E_EXPRESSION);
  const size_t from = static_cast<size_t>(start - 1);
  out->text.erase(0, from < out->text.size() ? from : out->text.size());
  if (Here(ev) != ')') {
    int16_t length = 0;
    if ((s = Argument(ev, &length)) < 0) return s;
    if (length < 0) return XB_FAIL(XB_E_EXPRESSION);
    if (static_cast<size_t>(length) < out->text.size())
      out->text.resize(static_cast<size_t>(length));
  }
  return Close(ev);
}

// LEFT(text,n) and RIGHT(text,n): n beyond the text keeps the whole text.
XBSTATUS LeftOrRight(Evaluation& ev, Value* out, bool left) {
  XBSTATUS s = TermOfType(ev, out, "C");
  if (s < 0) return s;
  int16_t count = 0;
  if ((s = Argument(ev, &count)) < 0) return s;
  if (count < 0) return XB_FAIL(XB_E_EXPRESSION);
  const size_t n = static_cast<size_t>(count);
  if (n < out->text.size()) {
    if (left) {
      out->text.resize(n);
    } else {
      out->text.erase(0, out->text.size() - n);
    }
  }
  return Close(ev);
}

// Writes `number` in fixed notation right-aligned in `width` characters. A
// number that does not fit (or is not finite) becomes `width` asterisks, so
// the text always has the width asked, as index keys need.
std::string FixedText(double number, int width, int decimals) {
  // Halves round away from zero (12.5 gives 13), as business figures are
  // expected to, not to the even neighbour the C library would choose.
  const double scale = std::pow(10.0, decimals);
  const double scaled = std::round(number * scale) / scale;
  if (std::isfinite(scaled)) number = scaled == 0.0 ? 0.0 : scaled;  // never "-0"
  char buffer[512];
  const int n = std::isfinite(number)
                    ? std::snprintf(buffer, sizeof buffer, "%*.*f", width, decimals, number)
                    : -1;
  if (n < 0 || n > width) return std::string(static_cast<size_t>(width), '*');
  std::string text(buffer, static_cast<size_t>(n));
  // The C library writes the locale's decimal point; files and keys use '.'.
  const char point = *std::localeconv()->decimal_point;
  if (point != '.') {
    for (char& c : text) {
      if (c == point) c = '.';
    }
  }
  return text;
}

// STR(number[,width[,decimals]]).
XBSTATUS Str(Evaluation& ev, Value* out) {
  XBSTATUS s = TermOfType(ev, out, "FN");
  if (s < 0) return s;
  int16_t width = kDefaultStrWidth;
  int16_t decimals = 0;
  if (Here(ev) == ',') {
    if ((s = ReadInteger(ev, &width)) < 0) return s;
    if (Here(ev) == ',' && (s = ReadInteger(ev, &decimals)) < 0) return s;
  }
  if (width < 1 || width > kMaxStrWidth || decimals < 0 || decimals > kMaxStrDecimals) {
    return XB_FAIL(XB_E_EXPRESSION);
  }
  if ((s = Close(ev)) < 0) return s;
  out->text = FixedText(out->number, width, decimals);
  out->type = 'C';
  out->number = 0;
  return 0;
}

// DTOC(date) and DTOS(date): the date's text becomes a character value.
XBSTATUS DateToText(Evaluation& ev, Value* out, bool sortable) {
  XBSTATUS s = 0;
  if (sortable) {
    const DateStyleGuard style(4);
    s = TermOfType(ev, out, "D");
  } else {
    s = TermOfType(ev, out, "D");
  }
  if (s < 0) return s;
  if ((s = Close(ev)) < 0) return s;
  out->type = 'C';
  out->date = {};
  return 0;
}

// The value of a field of the record buffer, converted as XBDDFGET does.
XBSTATUS FieldValue(const dbf::DataFile& file, const dbf::FieldInfo& field, Value* out) {
  const uint8_t* bytes = file.recordBytes() + field.offset;
  out->type = field.type();
  switch (field.type()) {
    case 'C':
      out->text.assign(reinterpret_cast<const char*>(bytes), field.length);
      return 0;
    case 'D': {
      char text[16] = {};
      const XBSTATUS s = dbf::ConvertField(file, field, 'D', text, sizeof text);
      if (s < 0) return s;
      out->text = text;
      // The date itself comes from the stored digits, so that a style with
      // two-digit years loses nothing.
      char stored[9] = {};
      std::memcpy(stored, bytes, field.length < 8 ? field.length : 8);
      if (dbf::IsBlank(bytes, field.length) || date::Parse(stored, 4, &out->date, false) != 0) {
        out->date = {};
      }
      return 0;
    }
    case 'F':
    case 'N':
      return dbf::ConvertField(file, field, field.type(), &out->number);
    case 'L': {
      uint8_t flag = '?';
      const XBSTATUS s = dbf::ConvertField(file, field, 'L', &flag);
      out->text.assign(1, static_cast<char>(flag));
      return s;
    }
    case 'M': {
      int32_t block = 0;
      const XBSTATUS s = dbf::ConvertField(file, field, 'M', &block);
      out->number = block;
      return s;
    }
    default:
      return XB_FAIL(XB_E_EXPRESSION);
  }
}

bool IsNumberText(const std::string& text) {
  for (char c : text) {
    if ((c < '0' || c > '9') && c != '.') return false;
  }
  return true;
}

// A field name, a number or a text, up to the next ',', ')' or '+'.
XBSTATUS SimpleTerm(Evaluation& ev, Value* out) {
  const char* start = ev.state.cursor;
  while (!AtEnd(ev) && std::strchr(",)+", *ev.state.cursor) == nullptr) ++ev.state.cursor;
  const size_t length = static_cast<size_t>(ev.state.cursor - start);
  if (length == 0 || length > kMaxSimpleTerm) return XB_FAIL(XB_E_EXPRESSION);
  const std::string term(start, length);
  const int fieldNo = dbf::FindField(*ev.file, term.c_str());
  if (fieldNo >= 0) return FieldValue(*ev.file, ev.file->fields()[fieldNo], out);
  if (IsNumberText(term)) {
    out->type = 'N';
    out->number = ParseDecimal(term.data(), term.size());
    return 0;
  }
  out->type = 'C';
  out->text = term;
  return 0;
}

// A named host function: it finds the cursor after its name and an empty
// value in the state, and must leave its value there.
XBSTATUS CallHostFunction(Evaluation& ev, XBEXPRFUNC function, Value* out) {
  DropStateBlock(ev);
  ev.published = 0;
  const XBSTATUS result = function(&ev.state);
  // A function that put a block of its own in the state leaves the engine's
  // last block (from XBDXPROC) behind: it is freed here (a handle the
  // function freed itself is recognised as stale and skipped).
  if (ev.published != 0 && ev.published != ev.state.valueBlock) FreeBlock(ev.published);
  ev.published = 0;
  if (ev.state.cursor < ev.begin || ev.state.cursor > ev.end) {
    // The function moved the cursor out of the text: nothing there may be read.
    ev.state.cursor = const_cast<char*>(ev.end);
    return XB_FAIL(XB_E_EXPRESSION);
  }
  if (Status() < 0) return Status();
  if (result < 0) return XB_FAIL(result);
  return AdoptValue(ev, out);
}

}  // namespace

XBSTATUS ReadInteger(Evaluation& ev, int16_t* out) {
  const char before = Here(ev);
  if (before != ',' && before != '(') return XB_FAIL(XB_E_EXPRESSION);
  ++ev.state.cursor;
  const char* start = ev.state.cursor;
  const char* p = start;
  while (p < ev.end && *p != '\0' && *p != ',' && *p != ')') ++p;
  if (p >= ev.end || *p == '\0' || p == start) return XB_FAIL(XB_E_EXPRESSION);
  // A decimal integer that fits 16 bits; anything else is a wrong argument.
  const char* q = start;
  const bool negative = *q == '-';
  if (negative) ++q;
  if (q == p) return XB_FAIL(XB_E_EXPRESSION);
  int32_t value = 0;
  for (; q < p; ++q) {
    if (*q < '0' || *q > '9') return XB_FAIL(XB_E_EXPRESSION);
    value = value * 10 + (*q - '0');
    if (value > 32768) return XB_FAIL(XB_E_EXPRESSION);
  }
  if (negative) value = -value;
  if (value > INT16_MAX) return XB_FAIL(XB_E_EXPRESSION);
  ev.state.cursor = const_cast<char*>(p);
  *out = static_cast<int16_t>(value);
  return 0;
}

XBSTATUS EvaluateTerm(Evaluation& ev, Value* out) {
  const DepthGuard depth(ev);
  if (depth.tooDeep()) return XB_FAIL(XB_E_EXPRESSION);
  *out = Value{};
  size_t nameLength = 0;
  const XBEXPRFUNC function =
      FindFunction(Current().expressions, ev.state.cursor,
                   static_cast<size_t>(ev.end - ev.state.cursor), &nameLength);
  if (function != nullptr) {
    ev.state.cursor += nameLength;
    return CallHostFunction(ev, function, out);
  }
  if (Take(ev, "SUBSTR(")) return Substr(ev, out);
  if (Take(ev, "RIGHT(")) return LeftOrRight(ev, out, false);
  if (Take(ev, "LEFT(")) return LeftOrRight(ev, out, true);
  if (Take(ev, "STR(")) return Str(ev, out);
  if (Take(ev, "DTOC(")) return DateToText(ev, out, false);
  if (Take(ev, "DTOS(")) return DateToText(ev, out, true);
  return SimpleTerm(ev, out);
}

}  // namespace kv::xb::expr
