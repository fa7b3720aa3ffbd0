#include "cli/terminal_window.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "cli/interrupt.h"
#include "platform/clock.h"

namespace brinvale::cli {
namespace {

constexpr uint32_t kRedrawMs = 200;

}  // namespace

TerminalWindow::TerminalWindow(bool draw, std::vector<std::string> lineControls, Asker asker)
    : m_draw(draw), m_lineControls(std::move(lineControls)), m_asker(std::move(asker)) {}

TerminalWindow::~TerminalWindow() { EraseLine(); }

void TerminalWindow::SetText(std::string_view control, const std::string& text) {
  auto it = m_texts.find(control);
  if (it == m_texts.end())
    m_texts.emplace(std::string(control), text);
  else
    it->second = text;
  Redraw(false);
}

void TerminalWindow::SetVisible(std::string_view control, bool visible) {
  if (visible) {
    auto it = m_hidden.find(control);
    if (it != m_hidden.end()) m_hidden.erase(it);
  } else {
    m_hidden.emplace(control);
  }
}

void TerminalWindow::SetProgress(std::string_view, int percent) {
  m_percent = percent;
  Redraw(false);
}

int TerminalWindow::Ask(int kind, const std::string& text) {
  EraseLine();
  return m_asker ? m_asker(kind, text) : 0;
}

void TerminalWindow::EraseLine() {
  if (!m_drawn) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  m_drawn = false;
}

void TerminalWindow::Redraw(bool force) {
  if (!m_draw) return;
  const uint32_t now = platform::TickCountMs();
  if (!force && m_drawn && m_percent == m_drawnPercent && now - m_drawnTick < kRedrawMs) return;
  std::string line;
  for (const std::string& control : m_lineControls) {
    if (m_hidden.count(control) != 0) continue;
    auto it = m_texts.find(control);
    if (it == m_texts.end() || it->second.empty()) continue;
    if (!line.empty()) line += " | ";
    line += it->second;
  }
  if (line.empty()) return;
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
  m_drawn = true;
  m_drawnTick = now;
  m_drawnPercent = m_percent;
}

void RunJobInTerminal(JobState& state, const std::function<void()>& job) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    job();
    done.store(true);
  });
  while (!done.load()) {
    if (InterruptFlag().load() && !state.CancelRequested()) {
      std::lock_guard<JobLock> guard(state.lock);
      state.cancelRequested.store(1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  worker.join();
}

}  // namespace brinvale::cli
