#include "app/duration_text.h"

#include <cstdio>

namespace brinvale {

std::string DurationText(int64_t seconds) {
  char text[80];
  const long long s = seconds;
  if (s >= 3600)
    std::snprintf(text, sizeof text, "%lld Hour %lld Min", s / 3600, s % 3600 / 60);
  else if (s >= 60)
    std::snprintf(text, sizeof text, "%lld Min %lld Sec", s / 60, s % 60);
  else
    std::snprintf(text, sizeof text, "%lld Sec", s);
  return text;
}

}  // namespace brinvale
