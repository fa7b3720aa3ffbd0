#include "platform/text.h"

#include <gtest/gtest.h>

namespace brinvale::platform {
namespace {

TEST(Utf8ToUtf16, RoundTripsEveryLength) {
  const std::string utf8 =
      "a"                  // U+0061, one byte
      "\xC3\xA9"           // U+00E9, two bytes
      "\xE2\x82\xAC"       // U+20AC, three bytes
      "\xEF\xBF\xBF"       // U+FFFF, the last three-byte value
      "\xF0\x9F\x98\x80"   // U+1F600, four bytes, a surrogate pair
      "\xF4\x8F\xBF\xBF";  // U+10FFFF, the last code point
  const std::u16string utf16 = u"a\u00E9\u20AC\uFFFF\U0001F600\U0010FFFF";
  EXPECT_EQ(Utf8ToUtf16(utf8), utf16);
  EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
  ASSERT_EQ(utf16.size(), 8u);
  EXPECT_EQ(utf16[4], 0xD83D);
  EXPECT_EQ(utf16[5], 0xDE00);
  EXPECT_EQ(Utf8ToUtf16(""), u"");
  EXPECT_EQ(Utf16ToUtf8(u""), "");
}

TEST(Utf8ToUtf16, RoundTripsAllCodePoints) {
  std::u16string all;
  for (char32_t c = 1; c <= 0x10FFFF; c += (c < 0x3000 ? 1 : 97)) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    if (c < 0x10000) {
      all += char16_t(c);
    } else {
      all += char16_t(0xD800 + ((c - 0x10000) >> 10));
      all += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(all)), all);
}

TEST(Utf8ToUtf16, InvalidSequencesBecomeReplacementCharacters) {
  struct Case {
    const char* what;
    std::string in;
    std::u16string out;
  };
  const Case cases[] = {
      {"lone continuation byte", "a\x80z", u"a\uFFFDz"},
      {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"overlong three-byte NUL", "\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"lead byte F5", "\xF5\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"lead byte F8", "\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"lead byte FF", "\xFF\xBF\xBF", u"\uFFFD\uFFFD\uFFFD"},
      {"truncated at the end", "x\xE2\x82", u"x\uFFFD\uFFFD"},
      {"lead then ASCII", "\xE2(", u"\uFFFD("},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToUtf16(c.in), c.out) << c.what;
}

TEST(Utf16ToUtf8, UnpairedSurrogatesBecomeReplacementCharacters) {
  const std::string kReplacement = "\xEF\xBF\xBD";
  EXPECT_EQ(Utf16ToUtf8(std::u16string{char16_t(0xD800)}), kReplacement);
  EXPECT_EQ(Utf16ToUtf8(std::u16string{char16_t(0xDC00)}), kReplacement);
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', char16_t(0xD83D), u'b'}), "a" + kReplacement + "b");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{char16_t(0xDE00), char16_t(0xD83D)}),
            kReplacement + kReplacement)
      << "a pair in the wrong order is two strays";
}

TEST(PathText, Utf8PathsRoundTrip) {
  const std::string name = "/tmp/Fotos \xC3\xA9t\xC3\xA9/\xE2\x82\xAC.jpg";
  EXPECT_EQ(PathToUtf8(PathFromUtf8(name)), name);
  EXPECT_EQ(PathFromUtf8(name).filename(), PathFromUtf8("\xE2\x82\xAC.jpg"));
}

}  // namespace
}  // namespace brinvale::platform
