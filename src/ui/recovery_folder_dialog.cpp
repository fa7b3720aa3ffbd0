#include "ui/recovery_folder_dialog.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>

namespace brinvale::ui {

std::optional<RecoveryFolderChoice> ChooseRecoveryFolder(QWidget* owner,
                                                         const RecoveryFolderTexts& texts,
                                                         RecoveryLayout current) {
  // Qt's own dialog on every system, as only it takes a control of ours.
  QFileDialog dialog(owner, texts.title);
  dialog.setObjectName(QStringLiteral("RecoveryFolderDialog"));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  auto* layout = new QComboBox(&dialog);
  layout->setObjectName(QStringLiteral("RecoveryLayout"));
  layout->addItem(texts.byType, int(RecoveryLayout::kByType));
  layout->addItem(texts.asFound, int(RecoveryLayout::kAsFound));
  layout->setCurrentIndex(current == RecoveryLayout::kAsFound ? 1 : 0);
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(texts.caption, &dialog), row, 0);
    grid->addWidget(layout, row, 1, 1, grid->columnCount() - 1);
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
  RecoveryFolderChoice choice;
  choice.folder = chosen.front();
  choice.layout = RecoveryLayout(layout->currentData().toInt());
  return choice;
}

QString WithoutTrailingSeparator(QString folder) {
  if (folder.size() > 1 &&
      (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'))))
    folder.chop(1);
  return folder;
}

}  // namespace brinvale::ui
