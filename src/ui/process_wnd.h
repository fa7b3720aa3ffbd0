#pragma once

#include <QString>
#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include "app/job_state.h"
#include "app/job_window.h"
#include "ui/popup_wnd.h"

namespace brinvale::ui {

// The base of the five progress windows: a pop-up whose job runs on a
// worker thread from the moment the window is first shown, and which is the
// job's IJobWindow. Every call of the job reaches the widgets on the
// interface thread through a queued call, so the worker never touches them
// and never waits for them, except while its question is answered. The
// close and cancel buttons ask the job's cancel question under the job's
// lock, so the job pauses while it is open.
//
// Owns the job's state and the worker thread; the destructor waits for the
// worker to return (asking it to stop if it still runs). Interface thread
// only, apart from the IJobWindow calls.
class CProcessWnd : public CPopUpWnd, public IJobWindow {
  Q_OBJECT
 public:
  ~CProcessWnd() override;

  // IJobWindow, called by the job from its worker thread.
  void SetText(std::string_view control, const std::string& text) override;
  void SetVisible(std::string_view control, bool visible) override;
  void SetProgress(std::string_view control, int percent) override;
  void AddRow(std::string_view control, const std::vector<std::string>& cells, bool atTop,
              uint32_t color) override;
  void ShowWindow(bool shown) override;
  // Shows the question on the interface thread and waits for the answer.
  int Ask(int kind, const std::string& text) override;
  // Posts an event of type `message` to the owner.
  void PostToParent(int message) override;
  void Close(brinvale::CloseCode code) override;

  const JobState& State() const { return m_state; }

 protected:
  // `cancelKey` is the "Messages" key of the job's cancel question.
  CProcessWnd(const UiContext& context, QString windowClassName, QString skinFile, QString section,
              std::span<const ControlSpec> controls, std::string cancelKey);

  // The job, run on the worker thread with this window and its state.
  virtual void RunJob() = 0;
  // After a confirmed cancel, once the job has finished: `jobClose` is the
  // close the job asked for meanwhile, if any. The window closes with it;
  // the search and recovery windows close with 2 instead.
  virtual void AfterCancel(std::optional<int> jobClose);

  // Asks a job that still runs to stop and waits for its worker to return.
  // Every window calls it first in its destructor, before the job's inputs
  // go.
  void StopWorker();

  // The cancel question; when the answer is yes, the job is told to stop
  // and this waits, keeping the interface alive, until it has finished.
  void AskToCancel();

  void OnClick(const QString& name) override;
  void OnWindowInit() override;

  JobState m_state;

 private:
  // Runs `call` on the interface thread, later.
  template <typename Call>
  void Queue(Call&& call);
  void WaitForJob();

  const std::string m_cancelKey;
  QWidget* m_owner = nullptr;  // set before the worker starts; read by it
  std::thread m_worker;
  std::atomic<bool> m_workerReturned{false};
  bool m_asking = false;
};

}  // namespace brinvale::ui
