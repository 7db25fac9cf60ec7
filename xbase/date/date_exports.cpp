// Exported date functions on strings and (year, month, day): the client's
// style, parsing, formatting, validation, leap years, month lengths and
// today's date.
#include <cstring>

#include "kv/xbase.h"
#include "platform/kernel/system.h"
#include "xbase/date/date_core.h"
#include "xbase/frame/engine.h"

namespace date = kv::xb::date;

namespace {

void StoreYmd(int16_t* year, int16_t* month, int16_t* day, date::Ymd value) {
  *year = static_cast<int16_t>(value.year);
  *month = static_cast<int16_t>(value.month);
  *day = static_cast<int16_t>(value.day);
}

date::Ymd Today() {
  kvp::SYSTEMTIME now{};
  kvp::GetLocalTime(&now);
  return date::Ymd{now.wYear, now.wMonth, now.wDay};
}

}  // namespace

KV_API XBSTATUS KV_CALL XBCDSTYLE(int16_t style) {
  constexpr const char* kModule = "CDSTYLE";
  XB_ENTER();
  if (style < date::kMinStyle || style > date::kMaxStyle) return XB_FAIL(XB_E_ARGUMENT);
  kv::xb::Current().dateStyle = static_cast<uint16_t>(style);
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCDGSTYLE(int16_t* style, char* description) {
  constexpr const char* kModule = "CDGSTYLE";
  XB_ENTER();
  if (style == nullptr || description == nullptr) return XB_FAIL(XB_E_NULL);
  const int current = kv::xb::Current().dateStyle;
  const char* text = date::StyleDescription(current);
  *style = static_cast<int16_t>(current);
  std::strcpy(description, text != nullptr ? text : "");
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCDS2I(int16_t* year, int16_t* month, int16_t* day, const char* text,
                                int16_t style) {
  constexpr const char* kModule = "CDS2I";
  XB_ENTER();
  if (year == nullptr || month == nullptr || day == nullptr || text == nullptr) {
    return XB_FAIL(XB_E_NULL);
  }
  date::Ymd value;
  const int16_t status = date::Parse(text, style, &value);
  if (status < 0) return XB_FAIL(status);
  StoreYmd(year, month, day, value);  // zeros for an empty date
  kv::xb::SetState(status);
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCDI2S(char* text, int16_t style, int16_t year, int16_t month,
                                int16_t day) {
  constexpr const char* kModule = "CDI2S";
  XB_ENTER();
  if (text == nullptr) return XB_FAIL(XB_E_NULL);
  const int16_t status = date::Format(text, style, date::Ymd{year, month, day});
  if (status < 0) return XB_FAIL(status);
  return kv::xb::Status();
}

// An empty date stays empty: it is written as blanks as wide as the output
// style, with the state +2.
KV_API XBSTATUS KV_CALL XBCDS2S(char* out, int16_t styleOut, const char* in, int16_t styleIn) {
  constexpr const char* kModule = "CDS2S";
  XB_ENTER();
  if (out == nullptr || in == nullptr) return XB_FAIL(XB_E_NULL);
  date::Ymd value;
  int16_t status = date::Parse(in, styleIn, &value);
  if (status < 0) return XB_FAIL(status);
  if (status == XB_EMPTY_DATE) {
    const int width = date::StyleWidth(styleOut);
    if (width == 0) return XB_FAIL(XB_E_ARGUMENT);
    std::memset(out, ' ', static_cast<size_t>(width));
    out[width] = '\0';
    kv::xb::SetState(XB_EMPTY_DATE);
    return kv::xb::Status();
  }
  status = date::Format(out, styleOut, value);
  if (status < 0) return XB_FAIL(status);
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCDSVALID(const char* text, int16_t style) {
  constexpr const char* kModule = "CDSVALID";
  XB_ENTER();
  if (text == nullptr) return XB_FAIL(XB_E_NULL);
  date::Ymd value;
  const int16_t status = date::Parse(text, style, &value);
  if (status < 0) return XB_FAIL(status);
  kv::xb::SetState(status);
  return kv::xb::Status();
}

// The answer is the state itself: 1 for a leap year, 0 otherwise. February's
// length is a function of the year everywhere, so there is no table to set.
KV_API XBSTATUS KV_CALL XBCDILEAP(int16_t year) {
  constexpr const char* kModule = "CDILEAP";
  XB_ENTER();
  kv::xb::SetState(date::IsLeap(year) ? 1 : 0);
  return kv::xb::Status();
}

// A blank text has no year to test: it answers +2 (empty date), which a
// caller cannot take for a leap year's 1.
KV_API XBSTATUS KV_CALL XBCDSLEAP(const char* text, int16_t style) {
  constexpr const char* kModule = "CDSLEAP";
  XB_ENTER();
  if (text == nullptr) return XB_FAIL(XB_E_NULL);
  date::Ymd value;
  const int16_t status = date::Parse(text, style, &value);
  if (status < 0) return XB_FAIL(status);
  if (status == XB_EMPTY_DATE) {
    kv::xb::SetState(XB_EMPTY_DATE);
  } else {
    kv::xb::SetState(date::IsLeap(value.year) ? 1 : 0);
  }
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCDIPERM(int16_t* days, int16_t year, int16_t month) {
  constexpr const char* kModule = "CDIPERM";
  XB_ENTER();
  if (days == nullptr) return XB_FAIL(XB_E_NULL);
  if (year < 1 || year > 9999 || month < 1 || month > 12) return XB_FAIL(XB_E_DATE);
  *days = static_cast<int16_t>(date::DaysInMonth(year, month));
  return kv::xb::Status();
}

// The month of an empty date is unknown: -15, as for the other functions
// that need a real date.
KV_API XBSTATUS KV_CALL XBCDSPERM(int16_t* days, const char* text, int16_t style) {
  constexpr const char* kModule = "CDSPERM";
  XB_ENTER();
  if (days == nullptr || text == nullptr) return XB_FAIL(XB_E_NULL);
  date::Ymd value;
  const int16_t status = date::ParseDate(text, style, &value);
  if (status < 0) return XB_FAIL(status);
  *days = static_cast<int16_t>(date::DaysInMonth(value.year, value.month));
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCDIGET(int16_t* year, int16_t* month, int16_t* day, int16_t* dayOfWeek) {
  constexpr const char* kModule = "CDIGET";
  XB_ENTER();
  if (year == nullptr || month == nullptr || day == nullptr || dayOfWeek == nullptr) {
    return XB_FAIL(XB_E_NULL);
  }
  kvp::SYSTEMTIME now{};
  kvp::GetLocalTime(&now);  // read once, so that the four values agree
  *year = static_cast<int16_t>(now.wYear);
  *month = static_cast<int16_t>(now.wMonth);
  *day = static_cast<int16_t>(now.wDay);
  *dayOfWeek = static_cast<int16_t>(now.wDayOfWeek);
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCDSGET(char* text, int16_t style) {
  constexpr const char* kModule = "CDSGET";
  XB_ENTER();
  if (text == nullptr) return XB_FAIL(XB_E_NULL);
  const int16_t status = date::Format(text, style, Today());
  if (status < 0) return XB_FAIL(status);
  return kv::xb::Status();
}
