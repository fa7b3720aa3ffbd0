// brinvale-cli probe, run as a separate program over the fixture files.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

#if defined(_WIN32)
#define SKIP_WITHOUT_FORK() GTEST_SKIP() << "the CLI tests run the program with fork and exec"
#else
#define SKIP_WITHOUT_FORK() (void)0

test::ChildResult Probe(const std::string& source) {
  return test::RunChild({BRINVALE_CLI_PATH, "probe", source});
}

size_t LineCount(const std::string& text) {
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  return lines;
}
#endif

TEST(ProbeCli, NamesTheFileSystemOfEachRecognitionSample) {
  SKIP_WITHOUT_FORK();
#if !defined(_WIN32)
  // The samples and their kinds come from the manifest the fixture script
  // wrote: file, kind, sha256, how it was made.
  std::ifstream manifest(test::FixturePath("recognition.manifest"));
  ASSERT_TRUE(manifest) << "recognition.manifest missing from " << test::FixtureDir();
  int samples = 0;
  for (std::string line; std::getline(manifest, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string file, kind;
    std::getline(fields, file, '\t');
    std::getline(fields, kind, '\t');
    SCOPED_TRACE(file);
    test::ChildResult r = Probe(test::FixturePath(file).string());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, kind + "\n");
    EXPECT_EQ(r.err, "");
    ++samples;
  }
  EXPECT_EQ(samples, 6);
#endif
}

TEST(ProbeCli, FatImagesAreFat) {
  SKIP_WITHOUT_FORK();
#if !defined(_WIN32)
  for (const char* image : {"sample.img", "fat12.img", "fat16.img", "fat32.img"}) {
    SCOPED_TRACE(image);
    test::ChildResult r = Probe(test::FixturePath(image).string());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "FAT\n");
  }
#endif
}

TEST(ProbeCli, SixteenKiBOfNothingIsUnknown) {
  SKIP_WITHOUT_FORK();
#if !defined(_WIN32)
  test::TempFile zeros("zeros16k.img");
  test::WriteFileBytes(zeros.Path(), std::vector<uint8_t>(16384, 0));
  test::ChildResult r = Probe(zeros.Path().string());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "unknown\n");
#endif
}

TEST(ProbeCli, MissingOrShortFileIsAOneLineError) {
  SKIP_WITHOUT_FORK();
#if !defined(_WIN32)
  test::TempFile shortFile("short1000.img");
  // A valid FAT boot sector heads the file, but 1,000 bytes are too few.
  std::vector<uint8_t> head = test::ReadFileBytes(test::FixturePath("recog_fat16.bin"), 1000);
  ASSERT_EQ(head.size(), 1000u);
  test::WriteFileBytes(shortFile.Path(), head);
  for (const std::string& source :
       {std::string("/nonexistent-brinvale/missing.img"), shortFile.Path().string()}) {
    SCOPED_TRACE(source);
    test::ChildResult r = Probe(source);
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.exitCode, -1) << "the program did not run";
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(LineCount(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find(source), std::string::npos) << "the error names the file: " << r.err;
  }
#endif
}

TEST(ProbeCli, MalformedDiskFormsExitWith2) {
  SKIP_WITHOUT_FORK();
#if !defined(_WIN32)
  for (const char* source : {"disk:", "disk:x", "disk:-1", "disk:1:", "disk:1:2", "disk:1:2:0",
                             "disk:1:a:5", "disk:1:2:3:4", "disk:1 ", "disk::1:2"}) {
    SCOPED_TRACE(source);
    test::ChildResult r = Probe(source);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(LineCount(r.err), 1u) << r.err;
  }
#endif
}

TEST(ProbeCli, WrongArgumentCountExitsWith2) {
  SKIP_WITHOUT_FORK();
#if !defined(_WIN32)
  EXPECT_EQ(test::RunChild({BRINVALE_CLI_PATH, "probe"}).exitCode, 2);
  EXPECT_EQ(test::RunChild({BRINVALE_CLI_PATH, "probe", "a.img", "b.img"}).exitCode, 2);
  EXPECT_EQ(test::RunChild({BRINVALE_CLI_PATH}).exitCode, 2);
  EXPECT_EQ(test::RunChild({BRINVALE_CLI_PATH, "frobnicate"}).exitCode, 2);
#endif
}

}  // namespace
}  // namespace brinvale
