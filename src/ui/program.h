#pragma once

#include <filesystem>

namespace brinvale::ui {

// The desktop program from start to end: one instance per user (a later
// start brings the first one's window forward, or says "Orlenta Brinvale is
// running." when it has none, and ends), the main window centred on the
// screen, the message loop, and the clean-up at exit. Returns the process's
// exit code.
int RunProgram(int argc, char** argv);

// Deletes the preview's temporary video "tmp.avi" in `scanLogFolder`; a
// missing one is fine.
void DeletePreviewVideo(const std::filesystem::path& scanLogFolder);

}  // namespace brinvale::ui
