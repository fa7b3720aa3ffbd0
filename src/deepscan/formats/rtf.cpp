// Rich Text Format documents. The format table has no row for them (a
// carved ".rtf" gets its name elsewhere), but a file of that name is
// checked like every other.
#include "deepscan/formats/walkers.h"

namespace brinvale {

// Brace balance: the document is one group, "{\rtf" up to the brace that
// closes it, and the line end after it. A backslash escapes the next
// character ("\{", "\}", "\\"); a control word "\binN" is followed by N
// bytes of binary data, which are skipped whole.
CarvedVerdict CheckRtf(CarvedBytes& f) {
  if (!f.HasAt(0, "{\\rtf")) return DamagedVerdict(CarvedFault::kBadStructure);
  uint64_t depth = 0;
  uint64_t at = 0;
  while (at < f.Extent()) {
    const auto view = f.View(at);
    if (view.empty()) return DamagedVerdict(CarvedFault::kUnreadable);
    size_t i = 0;
    for (; i < view.size(); ++i) {
      const uint8_t c = view[i];
      if (c == '{') {
        ++depth;
      } else if (c == '}') {
        if (depth == 0) return DamagedVerdict(CarvedFault::kBadStructure);
        if (--depth == 0) {
          uint64_t end = at + i + 1;
          uint8_t next = 0;
          if (f.Byte(end, next) && next == '\r') {
            ++end;
            if (f.Byte(end, next) && next == '\n') ++end;
          } else if (f.Byte(end, next) && next == '\n') {
            ++end;
          }
          return CompleteVerdict(end);
        }
      } else if (c == '\\') {
        break;  // a control sequence: read below, byte by byte
      }
    }
    at += i;
    if (i == view.size()) continue;
    // At a backslash.
    uint8_t next = 0;
    if (!f.Byte(at + 1, next)) return DamagedVerdict(CarvedFault::kRunsOff);
    if (!((next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z'))) {
      at += 2;  // an escaped character or a control symbol
      continue;
    }
    uint64_t p = at + 1;
    char word[8] = {};
    size_t length = 0;
    uint8_t c = 0;
    while (f.Byte(p, c) && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
      if (length < sizeof word - 1) word[length] = char(c);
      ++length;
      ++p;
    }
    uint64_t parameter = 0;
    bool hasParameter = false;
    if (f.Byte(p, c) && c == '-') ++p;
    while (f.Byte(p, c) && c >= '0' && c <= '9' && parameter < (1ull << 40)) {
      parameter = parameter * 10 + (c - '0');
      hasParameter = true;
      ++p;
    }
    if (f.Byte(p, c) && c == ' ') ++p;  // the delimiting space belongs to the word
    if (length == 3 && word[0] == 'b' && word[1] == 'i' && word[2] == 'n' && hasParameter) {
      if (!f.Holds(p, parameter)) return DamagedVerdict(CarvedFault::kRunsOff);
      p += parameter;
    }
    at = p;
  }
  return DamagedVerdict(CarvedFault::kRunsOff);
}

}  // namespace brinvale
