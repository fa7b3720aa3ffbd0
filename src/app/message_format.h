#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace brinvale {

// One value for a message format: a number, a text (UTF-8) or a character.
using FormatValue = std::variant<int64_t, uint64_t, std::string, char32_t>;

// Fills the conversions of a format text that comes from a language file
// (%d %i %u %c %s, with the length modifiers l, ll, I64 and h, and %% for a
// percent sign) with `values` in order, safely: a conversion takes the next
// value and writes it in its own form whatever the value's kind, a
// conversion without a value left, or an unknown one, is written as it
// stands, and values left over are ignored. Never reads past `values`, so a
// damaged language file cannot crash the program.
std::string FormatMessage(std::string_view format, std::initializer_list<FormatValue> values);

}  // namespace brinvale
