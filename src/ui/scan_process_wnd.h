#pragma once

#include "app/scan_job.h"
#include "ui/process_wnd.h"

namespace brinvale::ui {

// The scan window: runs the scan job over its sources and shows the stage,
// percent, time left and the sector and file counters. Closes with 1 when
// the job ends (also after a cancel) and 3 when no engine could be made;
// posts 1025 to its owner.
class CScanProcessWnd : public CProcessWnd {
  Q_OBJECT
 public:
  static constexpr int kWidth = 450;
  static constexpr int kHeight = 250;

  // The setup's messages, when empty, are the context's.
  CScanProcessWnd(const UiContext& context, ScanJobSetup setup);
  ~CScanProcessWnd() override { StopWorker(); }

 protected:
  void RunJob() override;

 private:
  ScanJobSetup m_setup;
};

}  // namespace brinvale::ui
