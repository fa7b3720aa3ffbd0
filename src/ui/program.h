#pragma once

#include <filesystem>

#include "ui/ui_context.h"

namespace brinvale::ui {

class CSingleInstance;

// The desktop program from start to end: one instance per user (a later
// start brings the first one's window forward, or says "Orlenta Brinvale is
// running." when it has none, and ends), the main window centred on the
// screen, the message loop, and the clean-up at exit. Returns the process's
// exit code.
int RunProgram(int argc, char** argv);

// For a start that the running instance holds the lock against: asks that
// instance to bring its window forward, or, when it cannot, says "Orlenta
// Brinvale is running." (an information box without owner). Returns the
// exit code of the start, 0.
int HandOverToFirstInstance(CSingleInstance& instance, const UiContext& context);

// Deletes the preview's temporary video "tmp.avi" in `scanLogFolder`; a
// missing one is fine.
void DeletePreviewVideo(const std::filesystem::path& scanLogFolder);

}  // namespace brinvale::ui
