#include "ui/program.h"

#include <QApplication>
#include <QFileInfo>
#include <system_error>

#include "app/message_box_kinds.h"
#include "app/message_table.h"
#include "app/message_table_files.h"
#include "platform/caller_rights.h"
#include "results/scan_log_folders.h"
#include "ui/main_wnd.h"
#include "ui/message_box.h"
#include "ui/single_instance.h"
#include "ui/skin_loader.h"
#include "ui/ui_context.h"

namespace brinvale::ui {

void DeletePreviewVideo(const std::filesystem::path& scanLogFolder) {
  std::error_code ec;
  std::filesystem::remove(scanLogFolder / "tmp.avi", ec);
}

void GiveFilesToCaller(const MessageTableFiles& files) {
  // Started through pkexec, the program wrote as root into the user's own
  // folders: the scan logs and the settings go back to that user.
  (void)platform::GiveToCaller(ScanLogBaseFolder());
  if (!files.userSettingsFile.empty())
    (void)platform::GiveToCaller(files.userSettingsFile.parent_path());
}

int HandOverToFirstInstance(CSingleInstance& instance, const UiContext& context) {
  if (!instance.AskFirstToShow())
    ShowMessage(context, int(MessageBoxKind::kInformation), nullptr,
                "Orlenta Brinvale is running.");
  return 0;
}

int RunProgram(int argc, char** argv) {
  QApplication app(argc, argv);
  InitSkinResource();
  MessageTable texts(DefaultMessageTableFiles());
  const UiContext context{texts, {}};

  CSingleInstance instance(DefaultInstanceLockFile(), DefaultInstanceServerName());
  if (!instance.Acquire()) return HandOverToFirstInstance(instance, context);

  int rc = 0;
  {
    CMainWnd window(context);
    instance.SetWindow(&window);
    window.CenterOnScreen();
    // Image files named on the command line are on the disk list from the
    // start, as if loaded with BtnLoadImage.
    for (const QString& argument : app.arguments().mid(1))
      if (QFileInfo(argument).isFile()) window.LoadImage(argument);
    window.show();
    window.activateWindow();
    rc = app.exec();
    instance.SetWindow(nullptr);
  }
  DeletePreviewVideo(ScanLogBaseFolder());
  GiveFilesToCaller(DefaultMessageTableFiles());
  return rc;
}

}  // namespace brinvale::ui
