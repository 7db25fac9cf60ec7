// Process identity and local time.
#include "platform/kernel/system.h"

#include <time.h>
#include <unistd.h>

namespace kvp {

void GetLocalTime(SYSTEMTIME* time) {
  if (time == nullptr) return;
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  struct tm local {};
  ::localtime_r(&now.tv_sec, &local);
  time->wYear = static_cast<WORD>(local.tm_year + 1900);
  time->wMonth = static_cast<WORD>(local.tm_mon + 1);
  time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
  time->wDay = static_cast<WORD>(local.tm_mday);
  time->wHour = static_cast<WORD>(local.tm_hour);
  time->wMinute = static_cast<WORD>(local.tm_min);
  // A leap second (tm_sec 60) is shown as 59, the range Windows uses.
  time->wSecond = static_cast<WORD>(local.tm_sec > 59 ? 59 : local.tm_sec);
  time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

DWORD GetCurrentProcessId() {
  return static_cast<DWORD>(::getpid());
}

}  // namespace kvp
