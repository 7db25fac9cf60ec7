// Exported day-number functions: dates to day numbers and back, differences
// and days of the week. An empty date has no day number (-15).
#include <cstdlib>

#include "kv/xbase.h"
#include "xbase/date/date_core.h"
#include "xbase/frame/engine.h"

namespace date = kv::xb::date;

KV_API XBSTATUS KV_CALL XBCDI2L(int32_t* dayNumber, int16_t year, int16_t month, int16_t day) {
  constexpr const char* kModule = "CDI2L";
  XB_ENTER();
  if (dayNumber == nullptr) return XB_FAIL(XB_E_NULL);
  const int16_t status = date::ToDayNumber(date::Ymd{year, month, day}, dayNumber);
  if (status < 0) return XB_FAIL(status);
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCDL2I(int16_t* year, int16_t* month, int16_t* day, int32_t dayNumber) {
  constexpr const char* kModule = "CDL2I";
  XB_ENTER();
  if (year == nullptr || month == nullptr || day == nullptr) return XB_FAIL(XB_E_NULL);
  date::Ymd value;
  const int16_t status = date::FromDayNumber(dayNumber, &value);
  if (status < 0) return XB_FAIL(status);
  *year = static_cast<int16_t>(value.year);
  *month = static_cast<int16_t>(value.month);
  *day = static_cast<int16_t>(value.day);
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCDS2LX(int32_t* dayNumber, const char* text, int16_t style) {
  constexpr const char* kModule = "CDS2LX";
  XB_ENTER();
  if (dayNumber == nullptr || text == nullptr) return XB_FAIL(XB_E_NULL);
  const int16_t status = date::ParseDayNumber(text, style, dayNumber);
  if (status < 0) return XB_FAIL(status);
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCDL2SX(char* text, int16_t style, int32_t dayNumber) {
  constexpr const char* kModule = "CDL2SX";
  XB_ENTER();
  if (text == nullptr) return XB_FAIL(XB_E_NULL);
  date::Ymd value;
  int16_t status = date::FromDayNumber(dayNumber, &value);
  if (status < 0) return XB_FAIL(status);
  status = date::Format(text, style, value);
  if (status < 0) return XB_FAIL(status);
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCDSDIFF(int32_t* days, const char* text1, int16_t style1,
                                  const char* text2, int16_t style2) {
  constexpr const char* kModule = "CDSDIFF";
  XB_ENTER();
  if (days == nullptr || text1 == nullptr || text2 == nullptr) return XB_FAIL(XB_E_NULL);
  int32_t first = 0;
  int32_t second = 0;
  int16_t status = date::ParseDayNumber(text1, style1, &first);
  if (status < 0) return XB_FAIL(status);
  status = date::ParseDayNumber(text2, style2, &second);
  if (status < 0) return XB_FAIL(status);
  *days = std::abs(first - second);
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCDL2DOW(int16_t* dayOfWeek, int32_t dayNumber) {
  constexpr const char* kModule = "CDL2DOW";
  XB_ENTER();
  if (dayOfWeek == nullptr) return XB_FAIL(XB_E_NULL);
  int value = 0;
  const int16_t status = date::DayOfWeek(dayNumber, &value);
  if (status < 0) return XB_FAIL(status);
  *dayOfWeek = static_cast<int16_t>(value);
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCDS2DOW(int16_t* dayOfWeek, const char* text, int16_t style) {
  constexpr const char* kModule = "CDS2DOW";
  XB_ENTER();
  if (dayOfWeek == nullptr || text == nullptr) return XB_FAIL(XB_E_NULL);
  int32_t dayNumber = 0;
  int16_t status = date::ParseDayNumber(text, style, &dayNumber);
  if (status < 0) return XB_FAIL(status);
  int value = 0;
  status = date::DayOfWeek(dayNumber, &value);
  if (status < 0) return XB_FAIL(status);
  *dayOfWeek = static_cast<int16_t>(value);
  return kv::xb::Status();
}
