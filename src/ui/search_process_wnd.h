#pragma once

#include "app/search_job.h"
#include "ui/process_wnd.h"

namespace brinvale::ui {

// The search window: runs the search job over the scanned sources into
// the owner's result list and shows the stage and percent. Closes with 1
// when the job ends and 2 after a confirmed cancel; the job posts 1026 to
// the owner.
class CSearchProcessWnd : public CProcessWnd {
  Q_OBJECT
 public:
  static constexpr int kWidth = 450;
  static constexpr int kHeight = 220;

  CSearchProcessWnd(const UiContext& context, SearchJobSetup setup);
  ~CSearchProcessWnd() override { StopWorker(); }

 protected:
  void RunJob() override;
  void AfterCancel(std::optional<int> jobClose) override;

 private:
  SearchJobSetup m_setup;
};

}  // namespace brinvale::ui
