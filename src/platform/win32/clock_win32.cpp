#include <windows.h>

#include "platform/clock.h"

namespace brinvale::platform {

uint32_t TickCountMs() { return uint32_t(GetTickCount()); }

SystemTime LocalTime() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  SystemTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.dayOfWeek = st.wDayOfWeek;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.milliseconds = st.wMilliseconds;
  return t;
}

std::optional<uint64_t> LocalFileTimeToUtc(uint64_t localFileTime) {
  FILETIME local;
  local.dwLowDateTime = DWORD(localFileTime);
  local.dwHighDateTime = DWORD(localFileTime >> 32);
  SYSTEMTIME localParts{}, utcParts{};
  // The zone's rule for that date, not today's offset.
  if (!::FileTimeToSystemTime(&local, &localParts) ||
      !TzSpecificLocalTimeToSystemTime(nullptr, &localParts, &utcParts))
    return std::nullopt;
  FILETIME utc;
  if (!::SystemTimeToFileTime(&utcParts, &utc)) return std::nullopt;
  return uint64_t(utc.dwHighDateTime) << 32 | utc.dwLowDateTime;
}

}  // namespace brinvale::platform
