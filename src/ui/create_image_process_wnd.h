#pragma once

#include "app/image_window_job.h"
#include "ui/process_wnd.h"

namespace brinvale::ui {

// The image window: copies a disk or partition into an image file and shows
// the stage, percent, time left and sector counter. The job closes it with
// 1 after a whole copy, 2 after a confirmed cancel and 3 after a failure.
class CCreateImageProcessWnd : public CProcessWnd {
  Q_OBJECT
 public:
  static constexpr int kWidth = 450;
  static constexpr int kHeight = 250;

  CCreateImageProcessWnd(const UiContext& context, ImageJobSetup setup);
  ~CCreateImageProcessWnd() override { StopWorker(); }

 protected:
  void RunJob() override;

 private:
  ImageJobSetup m_setup;
};

}  // namespace brinvale::ui
