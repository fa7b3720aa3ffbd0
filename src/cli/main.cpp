// brinvale-cli: the command-line face of the recovery engines.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "cli/disks_command.h"
#include "cli/image_command.h"
#include "cli/probe_command.h"
#include "cli/scan_command.h"
#include "cli/verify_command.h"
#include "platform/command_line.h"

namespace {

void PrintUsage() {
  std::fprintf(stderr,
               "usage: brinvale-cli COMMAND [ARGS]\n"
               "\n"
               "commands:\n"
               "  probe SOURCE   name the file system at the start of SOURCE\n"
               "  scan SOURCE    find deleted files; --list [--check], --types LIST, --recover-to DIR,\n"
               "                 --keep-paths, --allow-same-medium, --json, --mode quick|full,\n"
               "                 --resume, --fresh\n"
               "  disks [--json] list disks, volumes and unallocated gaps\n"
               "  image SOURCE OUT.img\n"
               "                 copy SOURCE sector by sector into the image file OUT.img\n"
               "                 (Ctrl-C stops the copy; the partial file stays)\n"
               "  verify DIR [MANIFEST]\n"
               "                 check the files a recovery wrote into DIR against its\n"
               "                 manifest (the newest recovery*.csv in DIR by default)\n"
               "\n"
               "SOURCE is an image file, disk:N (whole disk N) or disk:N:START:COUNT\n"
               "(a partition of disk N by start sector and sector count).\n");
}

int Run(int argc, char** argv) {
  // Every argument as UTF-8, also on Windows where argv is in the ANSI code
  // page; the commands below see only these.
  std::vector<std::string> args = brinvale::platform::CommandLineUtf8(argc, argv);
  std::vector<char*> pointers;
  for (std::string& arg : args) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  argc = int(args.size());
  argv = pointers.data();
  if (argc < 2) {
    PrintUsage();
    return 2;
  }
  const char* command = argv[1];
  if (std::strcmp(command, "probe") == 0) return brinvale::cli::RunProbe(argc - 2, argv + 2);
  if (std::strcmp(command, "scan") == 0)
    return brinvale::cli::RunScan(std::vector<std::string>(argv + 2, argv + argc));
  if (std::strcmp(command, "disks") == 0) return brinvale::cli::RunDisks(argc - 2, argv + 2);
  if (std::strcmp(command, "image") == 0) return brinvale::cli::RunImage(argc - 2, argv + 2);
  if (std::strcmp(command, "verify") == 0)
    return brinvale::cli::RunVerify(std::vector<std::string>(argv + 2, argv + argc));
  if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "help") == 0) {
    PrintUsage();
    return 0;
  }
  std::fprintf(stderr, "brinvale-cli: unknown command \"%s\"\n", command);
  PrintUsage();
  return 2;
}

}  // namespace

// Nothing the commands let escape may end the program with an abort: it is
// reported, and the exit status says the work did not succeed.
int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "brinvale-cli: internal error: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "brinvale-cli: internal error\n");
  }
  return 2;
}
