#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/job_state.h"
#include "app/job_window.h"

namespace brinvale::cli {

// A job's window on the terminal: the texts of the controls named in
// `lineControls` make one progress line on stderr, redrawn in place when
// its percent moves or at most every 200 ms; hidden controls are left out.
// Questions go to `asker` (no asker answers no). Everything else is kept
// for the command to read afterwards. Called from the job's worker only.
class TerminalWindow final : public IJobWindow {
 public:
  using Asker = std::function<int(int kind, const std::string& text)>;

  // `draw`: whether the line is drawn at all (stderr is a terminal and the
  // output is not JSON).
  TerminalWindow(bool draw, std::vector<std::string> lineControls, Asker asker = {});
  ~TerminalWindow() override;

  void SetText(std::string_view control, const std::string& text) override;
  void SetVisible(std::string_view control, bool visible) override;
  void SetProgress(std::string_view control, int percent) override;
  void AddRow(std::string_view, const std::vector<std::string>&, bool, uint32_t) override {}
  void ShowWindow(bool) override {}
  int Ask(int kind, const std::string& text) override;
  void PostToParent(int) override {}
  void Close(CloseCode code) override { m_closed = code; }

  // Clears the progress line, when one is drawn, before other output.
  void EraseLine();
  // The code the job closed the window with, if it did.
  std::optional<CloseCode> Closed() const { return m_closed; }

 private:
  void Redraw(bool force);

  const bool m_draw;
  const std::vector<std::string> m_lineControls;
  const Asker m_asker;
  std::map<std::string, std::string, std::less<>> m_texts;
  std::set<std::string, std::less<>> m_hidden;
  int m_percent = -1;
  int m_drawnPercent = -1;
  uint32_t m_drawnTick = 0;
  bool m_drawn = false;
  std::optional<CloseCode> m_closed;
};

// Runs `job` on a worker thread, as a progress window does, while this
// thread watches for Ctrl-C: the first one is the user's confirmed cancel
// (set under the job's lock, so it never lands inside a progress report).
// Returns once the job has returned.
void RunJobInTerminal(JobState& state, const std::function<void()>& job);

}  // namespace brinvale::cli
