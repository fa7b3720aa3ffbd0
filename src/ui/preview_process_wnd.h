#pragma once

#include "app/preview_job.h"
#include "ui/process_wnd.h"

namespace brinvale::ui {

// The preview window: the found file's engine copies it out for the
// preview, with the file's name and the percent shown. The job closes it
// with 1, or 2 after a confirmed cancel.
class CPreviewProcessWnd : public CProcessWnd {
  Q_OBJECT
 public:
  static constexpr int kWidth = 450;
  static constexpr int kHeight = 250;

  CPreviewProcessWnd(const UiContext& context, PreviewJobSetup setup);
  ~CPreviewProcessWnd() override { StopWorker(); }

 protected:
  void RunJob() override;
  void InitWindow() override;

 private:
  PreviewJobSetup m_setup;
};

}  // namespace brinvale::ui
