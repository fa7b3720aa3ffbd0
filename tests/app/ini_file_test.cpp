#include "app/ini_file.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace brinvale {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }
std::string Text(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }
IniContents Parse(std::string_view text) { return ParseIniBytes(Bytes(text)); }

TEST(IniFile, ValueIsEverythingAfterTheFirstEquals) {
  IniContents ini = Parse("[Messages]\nMSG0804=a=b = c\n");
  ASSERT_EQ(ini.sections.size(), 1u);
  EXPECT_EQ(ini.sections[0].entries, (Entries{{"MSG0804", "a=b = c"}}));
}

TEST(IniFile, TrailingBlanksOfAValueAreKept) {
  IniContents ini = Parse("[Messages]\nMSG0708=Time left: \nMSG0709=  two\t\n");
  EXPECT_EQ(ini.sections[0].entries, (Entries{{"MSG0708", "Time left: "}, {"MSG0709", "  two\t"}}));
}

TEST(IniFile, BlanksAroundKeysAndSectionNamesAreDropped) {
  IniContents ini = Parse("  [ Messages ]  \n\t MSG0101 \t=x\n");
  ASSERT_EQ(ini.sections.size(), 1u);
  EXPECT_EQ(ini.sections[0].name, "Messages");
  EXPECT_EQ(ini.sections[0].entries, (Entries{{"MSG0101", "x"}}));
}

TEST(IniFile, CrlfLineEndsAndAByteOrderMarkAreRemoved) {
  IniContents ini = Parse("\xEF\xBB\xBF[MainWnd]\r\nBtnScan=Scan\r\nBtnNext=Next\r\n");
  ASSERT_EQ(ini.sections.size(), 1u);
  EXPECT_EQ(ini.sections[0].name, "MainWnd");  // the mark is not part of the name
  EXPECT_EQ(ini.sections[0].entries, (Entries{{"BtnScan", "Scan"}, {"BtnNext", "Next"}}));
}

TEST(IniFile, LastLineWithoutLineEndIsRead) {
  IniContents ini = Parse("[a]\nk=v\r");
  EXPECT_EQ(ini.sections[0].entries, (Entries{{"k", "v"}}));
}

TEST(IniFile, UtfEightTextIsKeptByteForByte) {
  IniContents ini =
      Parse("[Languages]\nChinese=\xE7\xAE\x80\xE4\xBD\x93\xE4\xB8\xAD\xE6\x96\x87\n");
  EXPECT_EQ(ini.sections[0].entries[0].second, "\xE7\xAE\x80\xE4\xBD\x93\xE4\xB8\xAD\xE6\x96\x87");
}

TEST(IniFile, CommentsStrayLinesAndEmptyKeysAreSkipped) {
  IniContents ini = Parse(
      "before=any section\n"
      "[a]\n"
      "; k=comment\n"
      "\n"
      "no equals sign\n"
      "=no key\n"
      "k=v\n");
  ASSERT_EQ(ini.sections.size(), 1u);
  EXPECT_EQ(ini.sections[0].entries, (Entries{{"k", "v"}}));
}

TEST(IniFile, SectionsAndEntriesKeepFileOrderAndRepeats) {
  IniContents ini = Parse("[b]\nz=1\na=2\nz=3\n[a]\n[b]\nq=4\n");
  ASSERT_EQ(ini.sections.size(), 3u);
  EXPECT_EQ(ini.sections[0].name, "b");
  EXPECT_EQ(ini.sections[0].entries, (Entries{{"z", "1"}, {"a", "2"}, {"z", "3"}}));
  EXPECT_EQ(ini.sections[1].name, "a");
  EXPECT_TRUE(ini.sections[1].entries.empty());
  EXPECT_EQ(ini.sections[2].entries, (Entries{{"q", "4"}}));
}

TEST(IniFile, HeaderWithoutClosingBracketNamesTheRestOfTheLine) {
  IniContents ini = Parse("[Languages\nEnglish=English\n[x]y]\n");
  ASSERT_EQ(ini.sections.size(), 2u);
  EXPECT_EQ(ini.sections[0].name, "Languages");
  EXPECT_EQ(ini.sections[1].name, "x");
}

TEST(IniFile, SettingsLookupIgnoresAsciiCaseAndTakesTheFirstMatch) {
  IniContents ini =
      Parse("[defaultlanguage]\nDEFAULT=German\ndefault=Chinese\n[DefaultLanguage]\nDefault=x\n");
  const std::string* value = FindIniValue(ini, "DefaultLanguage", "Default");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(*value, "German");
  EXPECT_EQ(FindIniValue(ini, "DefaultLanguage", "Other"), nullptr);
  EXPECT_EQ(FindIniValue(ini, "Languages", "Default"), nullptr);
}

TEST(IniFileWrite, ReplacesTheValueAndKeepsEveryOtherByte) {
  const std::string before =
      "; settings\n[DefaultLanguage]\n  Default = English\n\n[Languages]\nEnglish=English\n";
  const std::string after =
      Text(WithIniValue(Bytes(before), "DefaultLanguage", "Default", "German"));
  EXPECT_EQ(after,
            "; settings\n[DefaultLanguage]\n  Default =German\n\n[Languages]\nEnglish=English\n");
}

TEST(IniFileWrite, ReplacesTheLineTheLookupReads) {
  const std::string before = "[defaultLANGUAGE]\nx=1\ndefault=English\nDefault=Other\n";
  const std::string after =
      Text(WithIniValue(Bytes(before), "DefaultLanguage", "Default", "German"));
  EXPECT_EQ(after, "[defaultLANGUAGE]\nx=1\ndefault=German\nDefault=Other\n");
}

TEST(IniFileWrite, KeepsCrlfAndTheByteOrderMark) {
  const std::string before = "\xEF\xBB\xBF[DefaultLanguage]\r\nDefault=English\r\n";
  EXPECT_EQ(Text(WithIniValue(Bytes(before), "DefaultLanguage", "Default", "Chinese")),
            "\xEF\xBB\xBF[DefaultLanguage]\r\nDefault=Chinese\r\n");
}

TEST(IniFileWrite, AddsTheKeyAfterTheSectionHeader) {
  const std::string before = "[DefaultLanguage]\r\nOther=1\r\n[Languages]\r\n";
  EXPECT_EQ(Text(WithIniValue(Bytes(before), "DefaultLanguage", "Default", "German")),
            "[DefaultLanguage]\r\nDefault=German\r\nOther=1\r\n[Languages]\r\n");
}

TEST(IniFileWrite, AddsALineEndToAnUnterminatedHeader) {
  EXPECT_EQ(Text(WithIniValue(Bytes("[DefaultLanguage]"), "DefaultLanguage", "Default", "German")),
            "[DefaultLanguage]\nDefault=German\n");
}

TEST(IniFileWrite, AppendsAMissingSection) {
  EXPECT_EQ(Text(WithIniValue(Bytes("[Languages]\nEnglish=English"), "DefaultLanguage", "Default",
                              "German")),
            "[Languages]\nEnglish=English\n\n[DefaultLanguage]\nDefault=German\n");
  EXPECT_EQ(Text(WithIniValue({}, "DefaultLanguage", "Default", "German")),
            "[DefaultLanguage]\nDefault=German\n");
}

TEST(IniFileWrite, WrittenValueReadsBack) {
  const std::string before = "[a]\nk=v\r\r\n[DefaultLanguage]\r";
  IniContents again =
      ParseIniBytes(WithIniValue(Bytes(before), "DefaultLanguage", "Default", "x "));
  ASSERT_NE(FindIniValue(again, "DefaultLanguage", "Default"), nullptr);
  EXPECT_EQ(*FindIniValue(again, "DefaultLanguage", "Default"), "x ");
  EXPECT_EQ(*FindIniValue(again, "a", "k"), "v");
}

}  // namespace
}  // namespace brinvale
