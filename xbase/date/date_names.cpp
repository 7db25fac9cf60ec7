// Exported day and month names, from numbers and from date strings.
#include <cstring>

#include "kv/xbase.h"
#include "xbase/date/date_core.h"
#include "xbase/frame/engine.h"

namespace date = kv::xb::date;

KV_API XBSTATUS KV_CALL XBCDSDAY(char* name, int16_t dayOfWeek) {
  constexpr const char* kModule = "CDSDAY";
  XB_ENTER();
  if (name == nullptr) return XB_FAIL(XB_E_NULL);
  const char* text = date::DayName(dayOfWeek);
  if (text == nullptr) return XB_FAIL(XB_E_DATE);
  std::strcpy(name, text);
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCDS2DAY(char* name, const char* text, int16_t style) {
  constexpr const char* kModule = "CDS2DAY";
  XB_ENTER();
  if (name == nullptr || text == nullptr) return XB_FAIL(XB_E_NULL);
  int32_t dayNumber = 0;
  int16_t status = date::ParseDayNumber(text, style, &dayNumber);
  if (status < 0) return XB_FAIL(status);
  int dayOfWeek = 0;
  status = date::DayOfWeek(dayNumber, &dayOfWeek);
  if (status < 0) return XB_FAIL(status);
  std::strcpy(name, date::DayName(dayOfWeek));
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCDSMONTH(char* name, int16_t month) {
  constexpr const char* kModule = "CDSMONTH";
  XB_ENTER();
  if (name == nullptr) return XB_FAIL(XB_E_NULL);
  const char* text = date::MonthName(month);
  if (text == nullptr) return XB_FAIL(XB_E_DATE);
  std::strcpy(name, text);
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCDS2MON(char* name, const char* text, int16_t style) {
  constexpr const char* kModule = "CDS2MON";
  XB_ENTER();
  if (name == nullptr || text == nullptr) return XB_FAIL(XB_E_NULL);
  date::Ymd value;
  const int16_t status = date::ParseDate(text, style, &value);
  if (status < 0) return XB_FAIL(status);
  std::strcpy(name, date::MonthName(value.month));
  return kv::xb::Status();
}
