// <windows.h> must come before the other Windows headers.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "platform/command_line.h"
#include "platform/text.h"

namespace brinvale::platform {

// argv holds the arguments in the ANSI code page, which loses every
// character outside it; the wide command line has them all.
std::vector<std::string> CommandLineUtf8(int argc, char** argv) {
  int count = 0;
  if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
    std::vector<std::string> args;
    args.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
      std::wstring_view w(wide[i]);
      args.push_back(Utf16ToUtf8(std::u16string(w.begin(), w.end())));
    }
    LocalFree(wide);
    return args;
  }
  return std::vector<std::string>(argv, argv + (argc > 0 ? argc : 0));
}

}  // namespace brinvale::platform
