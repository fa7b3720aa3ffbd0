#include "cli/duration_text.h"

#include <cstdio>

namespace brinvale::cli {

std::string DurationText(int seconds) {
  char text[48];
  if (seconds >= 3600)
    std::snprintf(text, sizeof text, "%d Hour %d Min", seconds / 3600, seconds % 3600 / 60);
  else if (seconds >= 60)
    std::snprintf(text, sizeof text, "%d Min %d Sec", seconds / 60, seconds % 60);
  else
    std::snprintf(text, sizeof text, "%d Sec", seconds);
  return text;
}

}  // namespace brinvale::cli
