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

}  // namespace brinvale::platform
