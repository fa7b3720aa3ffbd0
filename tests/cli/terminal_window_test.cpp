#include "cli/terminal_window.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "cli/interrupt.h"

namespace brinvale::cli {
namespace {

// Ctrl-C while a job runs is its confirmed cancel: the job sees it at its
// next progress report and the runner returns once the job has.
TEST(RunJobInTerminal, CtrlCBecomesTheCancelOfTheRunningJob) {
  JobState state;
  int reports = 0;
  RunJobInTerminal(state, [&] {
    for (;;) {
      {
        std::lock_guard<JobLock> guard(state.lock);
        if (state.CancelRequested()) break;
      }
      if (++reports == 3) InterruptFlag().store(true);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    state.jobFinished.store(1);
  });
  InterruptFlag().store(false);
  EXPECT_TRUE(state.CancelRequested());
  EXPECT_TRUE(state.JobFinished());
  EXPECT_GE(reports, 3);
}

TEST(RunJobInTerminal, JobWithoutCtrlCRunsToItsEnd) {
  JobState state;
  bool ran = false;
  RunJobInTerminal(state, [&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_FALSE(state.CancelRequested());
}

TEST(TerminalWindow, QuestionsGoToTheAskerAndCloseCodesAreKept) {
  TerminalWindow silent(false, {"percent"});
  EXPECT_EQ(silent.Ask(4, "Continue?"), 0);  // no asker: no
  std::string asked;
  TerminalWindow window(false, {"percent"}, [&](int kind, const std::string& text) {
    asked = std::to_string(kind) + ":" + text;
    return 1;
  });
  EXPECT_EQ(window.Ask(4, "Continue?"), 1);
  EXPECT_EQ(asked, "4:Continue?");
  EXPECT_FALSE(window.Closed().has_value());
  window.Close(CloseCode::kFailed);
  EXPECT_EQ(window.Closed(), CloseCode::kFailed);
}

}  // namespace
}  // namespace brinvale::cli
