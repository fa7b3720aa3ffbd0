#pragma once

#include <QSize>
#include <functional>

#include "app/recovery_window_job.h"
#include "ui/process_wnd.h"

class QUrl;

namespace brinvale::ui {

// The recovery window: copies the marked files into the target folder and
// lists how each ended. `DetailBtn` opens the detail list (growing the
// window by 150 x 300) and closes it again; `OpenBtn` opens the target
// folder in the system's file manager; `FinishBtn`, shown when the job
// ends, closes with 1. While the job runs the close and cancel buttons ask
// the cancel question and close with 2 after a yes; afterwards they close
// with 1. The window can be sized from its borders.
class CRecoverProcessWnd : public CProcessWnd {
  Q_OBJECT
 public:
  static constexpr int kWidth = 500;
  static constexpr int kHeight = 250;
  // How much the detail list adds to the window.
  static constexpr QSize kDetailGrowth{150, 300};

  // Opens a folder in the system's file manager; true when it could.
  using FolderOpener = std::function<bool(const QUrl& folder)>;

  // `openFolder` empty: the desktop's own (QDesktopServices).
  CRecoverProcessWnd(const UiContext& context, RecoveryJobSetup setup,
                     FolderOpener openFolder = {});
  ~CRecoverProcessWnd() override { StopWorker(); }

  bool DetailShown() const { return m_detailShown; }

 protected:
  void RunJob() override;
  void OnClick(const QString& name) override;
  void AfterCancel(std::optional<int> jobClose) override;
  void InitWindow() override;

 private:
  void ToggleDetail();

  RecoveryJobSetup m_setup;
  FolderOpener m_openFolder;
  bool m_detailShown = false;
};

}  // namespace brinvale::ui
