#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace brinvale::ui {

// How recovered files are laid out in the target folder: one folder per
// category ("photo", "document", ...), or the folders they were found in.
enum class RecoveryLayout { kByType = 0, kAsFound = 1 };

// What the user chose for a recovery.
struct RecoveryFolderChoice {
  QString folder;
  RecoveryLayout layout = RecoveryLayout::kByType;
};

// The captions of the folder chooser.
struct RecoveryFolderTexts {
  QString title;    // the window's title
  QString caption;  // before the layout choice
  QString byType;   // the category folders
  QString asFound;  // the folders the files were found in
};

// The folder chooser for a recovery: file-system folders only, with a
// choice of layout below the folder view (object name "RecoveryLayout",
// `current` chosen first). The folder, or nothing when cancelled.
std::optional<RecoveryFolderChoice> ChooseRecoveryFolder(QWidget* owner,
                                                         const RecoveryFolderTexts& texts,
                                                         RecoveryLayout current);

// The folder as recovery uses it: one trailing "/" or "\" removed, except
// from a root that is nothing else ("/").
QString WithoutTrailingSeparator(QString folder);

}  // namespace brinvale::ui
