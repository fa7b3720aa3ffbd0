#include "app/message_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "common/error_codes.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, std::string_view text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).write(text.data(), std::streamsize(text.size()));
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Records what the table sets, in order.
class RecordingWindow final : public IControlTexts {
 public:
  void SetControlText(std::string_view control, std::string_view text) override {
    calls.emplace_back(std::string(control), std::string(text));
  }
  std::vector<std::pair<std::string, std::string>> calls;
};

constexpr std::string_view kEnglish =
    "[Messages]\n"
    "MSG0401=Error\n"
    "MSG0708=Time left: \n"
    "MSG0804=Selected: %s, files: %d\n"
    "MSG1102=a=b=c\n"
    "[MessageBox]\n"
    "okbtn=OK\n"
    "cancelbtn=Cancel\n";
constexpr std::string_view kGerman =
    "[Messages]\n"
    "MSG0401=Fehler\n"
    "[MessageBox]\n"
    "okbtn=OK\n"
    "cancelbtn=Abbrechen\n";
constexpr std::string_view kChinese = "[Messages]\nMSG0401=\xE9\x94\x99\xE8\xAF\xAF\n";
constexpr std::string_view kConfig =
    "; shipped settings\n"
    "[DefaultLanguage]\n"
    "Default=English\n"
    "\n"
    "[Languages]\n"
    "English=English\n"
    "German=Deutsch\n"
    "Chinese=\xE7\xAE\x80\xE4\xBD\x93\xE4\xB8\xAD\xE6\x96\x87\n";

class MessageTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root =
        fs::temp_directory_path() /
        ("brinvale_messages_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + info->test_suite_name() + "_" + info->name());
    fs::remove_all(root);
    program = root / "program";
    files.dataFolder = program;
    files.userSettingsFile = root / "user" / "OrlentaBrinvaleRecovery" / "config.ini";
    WriteFile(program / "Languages" / "English.ini", kEnglish);
    WriteFile(program / "Languages" / "German.ini", kGerman);
    WriteFile(program / "Languages" / "Chinese.ini", kChinese);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(program, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root, ec);
  }

  fs::path root;
  fs::path program;
  MessageTableFiles files;
};

MessageTable::WritableTest Answer(bool writable) {
  return [writable](const fs::path&) { return writable; };
}

TEST_F(MessageTableTest, NoConfigIniGivesEnglish) {
  MessageTable table(files);
  EXPECT_EQ(table.Language(), "English");
  EXPECT_TRUE(table.Languages().empty());
  EXPECT_EQ(table.Text("Messages", "MSG0401"), "Error");  // from Languages/English.ini
}

TEST_F(MessageTableTest, ConfigChoosesTheLanguageFile) {
  WriteFile(program / "config.ini", "[DefaultLanguage]\nDefault=German\n");
  MessageTable table(files);
  EXPECT_EQ(table.Language(), "German");
  EXPECT_EQ(table.Text("Messages", "MSG0401"), "Fehler");
}

TEST_F(MessageTableTest, EmptyDefaultGivesEnglish) {
  WriteFile(program / "config.ini", "[DefaultLanguage]\nDefault=\n");
  EXPECT_EQ(MessageTable(files).Language(), "English");
}

TEST_F(MessageTableTest, SettingsNamesIgnoreCaseAndTheValueIsTrimmed) {
  WriteFile(program / "config.ini", "[defaultlanguage]\r\ndefault = German \r\n");
  EXPECT_EQ(MessageTable(files).Language(), "German");
}

TEST_F(MessageTableTest, LanguagesListKeepsTheOrderOfTheFile) {
  WriteFile(program / "config.ini",
            "[Languages]\nZulu=Zulu\nEnglish=English\nGerman=Deutsch=de\nChinese=\xE4\xB8\xAD\n");
  MessageTable table(files);
  EXPECT_EQ(table.Languages(), (std::vector<LanguageEntry>{{"Zulu", "Zulu"},
                                                           {"English", "English"},
                                                           {"German", "Deutsch=de"},
                                                           {"Chinese", "\xE4\xB8\xAD"}}));
}

TEST_F(MessageTableTest, ValueHoldingEqualsKeepsEverythingAfterTheFirst) {
  MessageTable table(files);
  EXPECT_EQ(table.Text("Messages", "MSG1102"), "a=b=c");
}

TEST_F(MessageTableTest, TrailingBlankOfAValueIsKept) {
  MessageTable table(files);
  EXPECT_EQ(table.Text(MessageOf("MSG0708")), "Time left: ");
}

TEST_F(MessageTableTest, MissingKeyReturnsEmptyTwiceAndIsAddedEmpty) {
  MessageTable table(files);
  EXPECT_FALSE(table.Section("Messages").contains("MSG9999"));
  EXPECT_EQ(table.Text("Messages", "MSG9999"), "");
  EXPECT_EQ(table.Text("Messages", "MSG9999"), "");
  const MessageTable::SectionTexts messages = table.Section("Messages");
  ASSERT_TRUE(messages.contains("MSG9999"));
  EXPECT_EQ(messages.at("MSG9999"), "");
  EXPECT_EQ(messages.at("MSG0401"), "Error");  // the others stay
}

TEST_F(MessageTableTest, MissingSectionIsCreatedEmpty) {
  MessageTable table(files);
  EXPECT_TRUE(table.Section("NoSuchWnd").empty());
  EXPECT_EQ(table.Text("OtherWnd", "okbtn"), "");
  EXPECT_EQ(table.Section("OtherWnd").size(), 1u);
}

TEST_F(MessageTableTest, SectionNamesAndKeysAreCaseSensitive) {
  MessageTable table(files);
  EXPECT_EQ(table.Text("messages", "MSG0401"), "");
  EXPECT_EQ(table.Text("Messages", "msg0401"), "");
  EXPECT_EQ(table.Text("Messages", "MSG0401"), "Error");
}

TEST_F(MessageTableTest, LaterLineOfARepeatedKeyWins) {
  WriteFile(program / "Languages" / "English.ini", "[a]\nk=1\n[b]\nk=x\n[a]\nk=2\n");
  MessageTable table(files);
  EXPECT_EQ(table.Text("a", "k"), "2");
  EXPECT_EQ(table.Text("b", "k"), "x");
}

TEST_F(MessageTableTest, MissingLanguageFileGivesEmptyTexts) {
  WriteFile(program / "config.ini", "[DefaultLanguage]\nDefault=Klingon\n");
  MessageTable table(files);
  EXPECT_EQ(table.Language(), "Klingon");
  EXPECT_EQ(table.Text("Messages", "MSG0401"), "");
}

TEST_F(MessageTableTest, ByteOrderMarkAndCrlfAreAccepted) {
  WriteFile(program / "Languages" / "English.ini",
            "\xEF\xBB\xBF[Messages]\r\nMSG0401=Error\r\nMSG0708=Time left: \r\n");
  MessageTable table(files);
  EXPECT_EQ(table.Text("Messages", "MSG0401"), "Error");
  EXPECT_EQ(table.Text("Messages", "MSG0708"), "Time left: ");
}

TEST_F(MessageTableTest, ApplySectionSetsEveryKeyInKeyOrder) {
  WriteFile(program / "Languages" / "English.ini",
            "[RecoverProcessWnd]\nOpenBtn=Open\nCancelBtn=Cancel\nDetailBtn=Details\n");
  MessageTable table(files);
  RecordingWindow window;
  table.ApplySection("RecoverProcessWnd", window);
  EXPECT_EQ(window.calls,
            (std::vector<std::pair<std::string, std::string>>{
                {"CancelBtn", "Cancel"}, {"DetailBtn", "Details"}, {"OpenBtn", "Open"}}));
  RecordingWindow none;
  table.ApplySection("NoSuchWnd", none);
  EXPECT_TRUE(none.calls.empty());
}

// The window may look texts up while it is being filled.
TEST_F(MessageTableTest, WindowMayUseTheTableWhileASectionIsApplied) {
  class LookingWindow final : public IControlTexts {
   public:
    explicit LookingWindow(MessageTable& t) : table(t) {}
    void SetControlText(std::string_view control, std::string_view) override {
      titles.push_back(table.Text("Messages", std::string(control) == "okbtn" ? "MSG0401" : "x"));
    }
    MessageTable& table;
    std::vector<std::string> titles;
  };
  MessageTable table(files);
  LookingWindow window(table);
  table.ApplySection("MessageBox", window);
  EXPECT_EQ(window.titles, (std::vector<std::string>{"", "Error"}));
}

TEST_F(MessageTableTest, ChangeLanguageRewritesDefaultKeepingTheOtherLinesAndReloads) {
  WriteFile(program / "config.ini", kConfig);
  MessageTable table(files, Answer(true));
  ASSERT_EQ(table.Text("Messages", "MSG0401"), "Error");
  ASSERT_EQ(table.ChangeLanguage("German"), kOk);
  EXPECT_EQ(table.Language(), "German");
  EXPECT_EQ(table.Text("Messages", "MSG0401"), "Fehler");
  EXPECT_EQ(table.Text("MessageBox", "cancelbtn"), "Abbrechen");
  EXPECT_EQ(table.Text("Messages", "MSG0708"), "");  // English-only key gone after the reload
  EXPECT_EQ(table.Languages().size(), 3u);

  std::string expected(kConfig);
  expected.replace(expected.find("Default=English"), 15, "Default=German");
  EXPECT_EQ(ReadFile(program / "config.ini"), expected);
  EXPECT_FALSE(fs::exists(program / "config.ini.tmp"));
  EXPECT_FALSE(fs::exists(files.userSettingsFile));
  EXPECT_EQ(MessageTable(files).Language(), "German");  // kept for the next start
}

TEST_F(MessageTableTest, ChangeLanguageWritesASettingsFileWhereNoneWas) {
  MessageTable table(files, Answer(true));
  ASSERT_EQ(table.ChangeLanguage("Chinese"), kOk);
  EXPECT_EQ(ReadFile(program / "config.ini"), "[DefaultLanguage]\nDefault=Chinese\n");
  EXPECT_EQ(table.Text("Messages", "MSG0401"), "\xE9\x94\x99\xE8\xAF\xAF");
}

TEST_F(MessageTableTest, ReadOnlyProgramFolderSendsTheSettingToTheUsersFile) {
  WriteFile(program / "config.ini", kConfig);
  std::vector<fs::path> asked;
  MessageTable table(files, [&](const fs::path& folder) {
    asked.push_back(folder);
    return false;
  });
  ASSERT_EQ(table.ChangeLanguage("German"), kOk);
  EXPECT_EQ(asked, std::vector<fs::path>{program});
  EXPECT_EQ(ReadFile(program / "config.ini"), kConfig);  // untouched
  EXPECT_EQ(ReadFile(files.userSettingsFile), "[DefaultLanguage]\nDefault=German\n");
  EXPECT_EQ(table.Language(), "German");
  EXPECT_EQ(table.Text("Messages", "MSG0401"), "Fehler");
  // The offered languages still come from the program's own list.
  EXPECT_EQ(table.Languages().size(), 3u);
  EXPECT_EQ(MessageTable(files).Language(), "German");
}

TEST_F(MessageTableTest, FailedWriteNextToTheProgramFallsBackToTheUsersFile) {
  WriteFile(program / "config.ini", kConfig);
  // The temporary file cannot be made: a folder holds its name.
  fs::create_directories(program / "config.ini.tmp");
  MessageTable table(files, Answer(true));
  ASSERT_EQ(table.ChangeLanguage("German"), kOk);
  EXPECT_EQ(ReadFile(program / "config.ini"), kConfig);
  EXPECT_EQ(ReadFile(files.userSettingsFile), "[DefaultLanguage]\nDefault=German\n");
  EXPECT_EQ(table.Language(), "German");
}

TEST_F(MessageTableTest, UsersFileIsReadFirstAndWrittenWhenItExists) {
  WriteFile(program / "config.ini", kConfig);
  WriteFile(files.userSettingsFile, "[DefaultLanguage]\r\nDefault=Chinese\r\n[Other]\r\nx=1\r\n");
  MessageTable table(files, Answer(true));
  EXPECT_EQ(table.Language(), "Chinese");
  EXPECT_EQ(table.Languages().size(), 3u);  // no list of its own: the program's
  ASSERT_EQ(table.ChangeLanguage("German"), kOk);
  EXPECT_EQ(ReadFile(files.userSettingsFile),
            "[DefaultLanguage]\r\nDefault=German\r\n[Other]\r\nx=1\r\n");
  EXPECT_EQ(ReadFile(program / "config.ini"), kConfig);
  EXPECT_EQ(table.Language(), "German");
}

TEST_F(MessageTableTest, UsersOwnLanguageListReplacesTheProgramsList) {
  WriteFile(program / "config.ini", kConfig);
  WriteFile(files.userSettingsFile, "[Languages]\nGerman=Deutsch\n");
  MessageTable table(files);
  EXPECT_EQ(table.Language(), "English");  // the user's file names none
  EXPECT_EQ(table.Languages(), (std::vector<LanguageEntry>{{"German", "Deutsch"}}));
}

TEST_F(MessageTableTest, ChangeLanguageWithNowhereToWriteFailsAndKeepsTheTable) {
  files.userSettingsFile.clear();
  MessageTable table(files, Answer(false));
  EXPECT_EQ(table.ChangeLanguage("German"), kErrAccessDenied);
  EXPECT_EQ(table.Language(), "English");
  EXPECT_EQ(table.Text("Messages", "MSG0401"), "Error");
  EXPECT_FALSE(fs::exists(program / "config.ini"));
}

TEST_F(MessageTableTest, ChangeLanguageRefusesNamesThatAreNotBaseNames) {
  WriteFile(program / "config.ini", kConfig);
  MessageTable table(files, Answer(true));
  for (std::string_view name : {"", ".", "..", "../German", "a/b", "a\\b", "C:German",
                                "German\nDefault=x", "German\r", " German", "German "}) {
    EXPECT_EQ(table.ChangeLanguage(name), kErrInvalidParameter) << name;
  }
  EXPECT_EQ(table.ChangeLanguage(std::string_view("Ger\0man", 7)), kErrInvalidParameter);
  EXPECT_EQ(ReadFile(program / "config.ini"), kConfig);
  EXPECT_FALSE(fs::exists(files.userSettingsFile));
  EXPECT_EQ(table.Language(), "English");
}

#if !defined(_WIN32)
// Through the system's own answer. Root may write anywhere, so there the
// folder counts as writable and this case cannot be made.
TEST_F(MessageTableTest, FolderWithoutWriteRightsSendsTheSettingToTheUsersFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  WriteFile(program / "config.ini", kConfig);
  fs::permissions(program, fs::perms::owner_write, fs::perm_options::remove);
  MessageTable table(files);
  ASSERT_EQ(table.ChangeLanguage("German"), kOk);
  EXPECT_EQ(ReadFile(program / "config.ini"), kConfig);
  EXPECT_EQ(ReadFile(files.userSettingsFile), "[DefaultLanguage]\nDefault=German\n");
}
#endif

// Workers look texts up while the interface thread adds missing keys: every
// lookup takes the table's lock (a ThreadSanitizer build checks it).
TEST_F(MessageTableTest, LookupsFromSeveralThreadsSeeTheirTexts) {
  MessageTable table(files);
  std::atomic<bool> wrong{false};
  std::vector<std::thread> workers;
  for (int w = 0; w < 3; ++w) {
    workers.emplace_back([&] {
      for (int i = 0; i < 2000; ++i)
        if (table.Text("Messages", "MSG0401") != "Error") wrong = true;
    });
  }
  for (int i = 0; i < 2000; ++i) table.Text("Messages", "MSG9" + std::to_string(i));
  for (std::thread& t : workers) t.join();
  EXPECT_FALSE(wrong);
  EXPECT_EQ(table.Section("Messages").size(), 4u + 2000u);
}

TEST(MessageTableFiles, DataFolderIsTheExecutablesWhenItHoldsTheSettings) {
  const fs::path root =
      fs::temp_directory_path() /
      ("brinvale_datafolder_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(root);
  const fs::path bin = root / "bin";
  fs::create_directories(bin);
  EXPECT_EQ(FindDataFolder(bin), bin);  // nothing anywhere: the executable's folder
  WriteFile(root / "share" / "brinvale" / "config.ini", kConfig);
  EXPECT_EQ(FindDataFolder(bin), root / "share" / "brinvale");  // installed
  WriteFile(bin / "config.ini", kConfig);
  EXPECT_EQ(FindDataFolder(bin), bin);  // beside the program comes first
  EXPECT_EQ(FindDataFolder({}), fs::path());
  fs::remove_all(root);
}

TEST(MessageTableFiles, UsersSettingsFileLiesInTheProgramsOwnFolder) {
  EXPECT_EQ(UserSettingsFile("/home/u/.config"),
            fs::path("/home/u/.config") / "OrlentaBrinvaleRecovery" / "config.ini");
  EXPECT_EQ(UserSettingsFile({}), fs::path());
}

TEST(MessageTableFiles, RunningProgramsDataFolderIsItsOwnFolder) {
  // The test program's folder holds no "config.ini" and no share/brinvale.
  const MessageTableFiles files = DefaultMessageTableFiles();
  std::error_code ec;
  EXPECT_TRUE(fs::equivalent(files.dataFolder, BRINVALE_APP_TESTS_DIR, ec)) << files.dataFolder;
  EXPECT_EQ(files.userSettingsFile.filename(), "config.ini");
  EXPECT_EQ(files.userSettingsFile.parent_path().filename(), "OrlentaBrinvaleRecovery");
}

}  // namespace
}  // namespace brinvale
