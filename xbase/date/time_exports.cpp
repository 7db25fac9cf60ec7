// Exported time functions: time styles 1 (hh:mm:ss) and 2 (hhmm).
#include <cstdlib>

#include "kv/xbase.h"
#include "platform/kernel/system.h"
#include "xbase/date/date_core.h"
#include "xbase/frame/engine.h"

namespace date = kv::xb::date;

namespace {

date::Hms Now() {
  kvp::SYSTEMTIME now{};
  kvp::GetLocalTime(&now);
  return date::Hms{now.wHour, now.wMinute, now.wSecond};
}

int32_t SecondsOfDay(date::Hms time) {
  return time.hour * 3600 + time.minute * 60 + time.second;
}

}  // namespace

KV_API XBSTATUS KV_CALL XBCTS2I(int16_t* hour, int16_t* minute, int16_t* second, const char* text,
                                int16_t style) {
  constexpr const char* kModule = "CTS2I";
  XB_ENTER();
  if (hour == nullptr || minute == nullptr || second == nullptr || text == nullptr) {
    return XB_FAIL(XB_E_NULL);
  }
  date::Hms value;
  const int16_t status = date::ParseTime(text, style, &value);
  if (status < 0) return XB_FAIL(status);
  *hour = static_cast<int16_t>(value.hour);
  *minute = static_cast<int16_t>(value.minute);
  *second = static_cast<int16_t>(value.second);
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCTI2S(char* text, int16_t style, int16_t hour, int16_t minute,
                                int16_t second) {
  constexpr const char* kModule = "CTI2S";
  XB_ENTER();
  if (text == nullptr) return XB_FAIL(XB_E_NULL);
  const int16_t status = date::FormatTime(text, style, date::Hms{hour, minute, second});
  if (status < 0) return XB_FAIL(status);
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCTSDIFF(int32_t* seconds, const char* text1, int16_t style1,
                                  const char* text2, int16_t style2) {
  constexpr const char* kModule = "CTSDIFF";
  XB_ENTER();
  if (seconds == nullptr || text1 == nullptr || text2 == nullptr) return XB_FAIL(XB_E_NULL);
  date::Hms first;
  date::Hms second;
  int16_t status = date::ParseTime(text1, style1, &first);
  if (status < 0) return XB_FAIL(status);
  status = date::ParseTime(text2, style2, &second);
  if (status < 0) return XB_FAIL(status);
  *seconds = std::abs(SecondsOfDay(first) - SecondsOfDay(second));
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCTSVALID(const char* text, int16_t style) {
  constexpr const char* kModule = "CTSVALID";
  XB_ENTER();
  if (text == nullptr) return XB_FAIL(XB_E_NULL);
  date::Hms value;
  const int16_t status = date::ParseTime(text, style, &value);
  if (status < 0) return XB_FAIL(status);
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCTIGET(int16_t* hour, int16_t* minute, int16_t* second,
                                 int16_t* hundredths) {
  constexpr const char* kModule = "CTIGET";
  XB_ENTER();
  if (hour == nullptr || minute == nullptr || second == nullptr || hundredths == nullptr) {
    return XB_FAIL(XB_E_NULL);
  }
  const date::Hms now = Now();
  *hour = static_cast<int16_t>(now.hour);
  *minute = static_cast<int16_t>(now.minute);
  *second = static_cast<int16_t>(now.second);
  *hundredths = 0;
  return kv::xb::Status();
}

KV_API XBSTATUS KV_CALL XBCTSGET(char* text, int16_t style) {
  constexpr const char* kModule = "CTSGET";
  XB_ENTER();
  if (text == nullptr) return XB_FAIL(XB_E_NULL);
  const int16_t status = date::FormatTime(text, style, Now());
  if (status < 0) return XB_FAIL(status);
  return kv::xb::Status();
}
