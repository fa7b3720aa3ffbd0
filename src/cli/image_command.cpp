#include "cli/image_command.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/image_window_job.h"
#include "cli/cli_messages.h"
#include "cli/interrupt.h"
#include "cli/source_check.h"
#include "cli/source_medium.h"
#include "cli/source_spec.h"
#include "cli/terminal_window.h"
#include "common/error_codes.h"
#include "common/size_text.h"
#include "device/disk_map.h"
#include "output/image_job.h"
#include "output/image_target_check.h"
#include "platform/system_error.h"
#include "platform/text.h"

namespace brinvale::cli {
namespace {

constexpr int kExitStopped = 130;

}  // namespace

int RunImage(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: brinvale-cli image SOURCE OUT.img\n");
    return 2;
  }
  std::string error;
  std::optional<SourceSpec> given = ParseSourceSpec(argv[0], error);
  if (!given) {
    std::fprintf(stderr, "brinvale-cli: %s\n", error.c_str());
    return 2;
  }
  if (CheckSource(*given, error) != kOk) {
    std::fprintf(stderr, "brinvale-cli: %s\n", error.c_str());
    return 2;
  }
  const std::filesystem::path imagePath = platform::PathFromUtf8(argv[1]);

  // Only a new or a regular file is ever written: never a device or folder.
  std::error_code ec;
  const auto status = std::filesystem::status(imagePath, ec);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    std::fprintf(stderr, "brinvale-cli: %s exists and is not a regular file\n", argv[1]);
    return 1;
  }
  std::filesystem::path folder = std::filesystem::absolute(imagePath, ec).parent_path();
  if (!std::filesystem::is_directory(folder, ec)) {
    std::fprintf(stderr, "brinvale-cli: the folder of %s does not exist\n", argv[1]);
    return 1;
  }

  // The disk list tells which volumes the copy reads and how the target's
  // file system is named; without it the checks work from less.
  DiskEnumerator enumerator;
  (void)RefreshDisks(enumerator);
  ImageSource source = ImageSourceForSpec(*given, enumerator.Disks());

  uint64_t imageBytes = 0;
  if (int rc = ImageSourceBytes(source, imageBytes); rc != kOk) {
    std::fprintf(stderr, "brinvale-cli: cannot open %s: %s\n", argv[0],
                 platform::SystemErrorMessage(rc).c_str());
    return 2;
  }
  const ImageTargetProblem problem =
      CheckImageTarget(DescribeImageTarget(imagePath, source, enumerator.Disks()), imageBytes);
  if (problem != ImageTargetProblem::kNone) {
    std::fprintf(stderr, "brinvale-cli: %s\n", ImageTargetSentence(problem));
    return 1;
  }

  std::fprintf(stderr, "Copying %s (%s) to %s\n", argv[0], SizeText(int64_t(imageBytes)).c_str(),
               argv[1]);
  ImageProgress last;
  ImageJobSetup setup;
  setup.source = source;
  setup.imagePath = imagePath;
  setup.messages = CliMessages();
  setup.lastProgress = &last;
  int rc = kOk;
  {
    InstallInterruptHandler();
    // The copy's progress is drawn even into a log: a long copy should show
    // how far it got.
    TerminalWindow window(true, {"percent", "sectors", "time"});
    JobState state;
    RunJobInTerminal(state, [&] { rc = RunImageWindowJob(setup, window, state); });
  }

  if (rc == kCancelled) {
    std::fprintf(stderr,
                 "brinvale-cli: stopped after %llu of %llu sectors; the partial image "
                 "stays in %s\n",
                 static_cast<unsigned long long>(last.sectorsDone),
                 static_cast<unsigned long long>(last.totalSectors), argv[1]);
    return kExitStopped;
  }
  if (rc != kOk) {
    std::fprintf(stderr, "brinvale-cli: the image could not be made: %s (after %llu sectors)\n",
                 platform::SystemErrorMessage(rc).c_str(),
                 static_cast<unsigned long long>(last.sectorsDone));
    return 1;
  }
  if (last.totalSectors == 0 || last.sectorsDone != last.totalSectors) {
    std::fprintf(stderr, "brinvale-cli: nothing was copied from %s\n", argv[0]);
    return 1;
  }
  std::fprintf(stderr, "Copied %llu sectors to %s\n",
               static_cast<unsigned long long>(last.sectorsDone), argv[1]);
  return 0;
}

}  // namespace brinvale::cli
