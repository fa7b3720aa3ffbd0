// <windows.h> must come before the other Windows headers.
// clang-format off
#include <windows.h>
#include <tlhelp32.h>
// clang-format on

#include <string>

#include "common/error_codes.h"
#include "platform/process.h"
#include "platform/text.h"

namespace brinvale::platform {

int TerminateProcessesByName(std::string_view exeName) {
  std::u16string wanted16 = Utf8ToUtf16(exeName);
  std::wstring wanted(wanted16.begin(), wanted16.end());
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return int(GetLastError());
  const DWORD self = GetCurrentProcessId();
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == self) continue;
    // Ordinal comparison with case folding, as the file system compares names.
    if (CompareStringOrdinal(entry.szExeFile, -1, wanted.c_str(), int(wanted.size()), TRUE) !=
        CSTR_EQUAL)
      continue;
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID)) {
      TerminateProcess(process, 1);
      CloseHandle(process);
    }
  }
  CloseHandle(snapshot);
  return kOk;
}

}  // namespace brinvale::platform
