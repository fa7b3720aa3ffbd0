#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/job_window.h"

namespace brinvale::test {

// A job window that keeps what the job told it, from any thread, and
// answers questions through `answer`.
class RecorderWindow final : public IJobWindow {
 public:
  void SetText(std::string_view control, const std::string& text) override {
    std::function<void(const std::string&, const std::string&)> hook;
    {
      std::lock_guard<std::mutex> g(m_mutex);
      texts[std::string(control)] = text;
      history.push_back(std::string(control) + "=" + text);
      hook = onText;
    }
    if (hook) hook(std::string(control), text);
  }
  void SetVisible(std::string_view control, bool shown) override {
    std::lock_guard<std::mutex> g(m_mutex);
    visible[std::string(control)] = shown;
  }
  void SetProgress(std::string_view control, int percent) override {
    std::lock_guard<std::mutex> g(m_mutex);
    bars[std::string(control)] = percent;
  }
  void AddRow(std::string_view control, const std::vector<std::string>& cells, bool atTop,
              uint32_t color) override {
    std::lock_guard<std::mutex> g(m_mutex);
    auto& list = rows[std::string(control)];
    list.insert(atTop ? list.begin() : list.end(), Row{cells, color});
  }
  void ShowWindow(bool shown) override {
    std::lock_guard<std::mutex> g(m_mutex);
    history.push_back(shown ? "show" : "hide");
  }
  int Ask(int kind, const std::string& text) override {
    {
      std::lock_guard<std::mutex> g(m_mutex);
      questions.push_back({kind, text});
      history.push_back("ask:" + text);
    }
    return answer ? answer(kind, text) : 1;
  }
  void PostToParent(int message) override {
    std::lock_guard<std::mutex> g(m_mutex);
    posted.push_back(message);
  }
  void Close(CloseCode code) override {
    std::lock_guard<std::mutex> g(m_mutex);
    closed = code;
    m_closedChanged.notify_all();
  }

  // Waits until the job asked the window to close.
  CloseCode WaitForClose() {
    std::unique_lock<std::mutex> g(m_mutex);
    m_closedChanged.wait(g, [&] { return closed.has_value(); });
    return *closed;
  }
  std::string TextOf(const std::string& control) {
    std::lock_guard<std::mutex> g(m_mutex);
    return texts.count(control) ? texts[control] : std::string();
  }

  struct Row {
    std::vector<std::string> cells;
    uint32_t color;
  };
  std::map<std::string, std::vector<Row>> rows;
  struct Question {
    int kind;
    std::string text;
  };
  std::map<std::string, std::string> texts;
  std::map<std::string, bool> visible;
  std::map<std::string, int> bars;
  std::vector<std::string> history;
  std::vector<Question> questions;
  std::vector<int> posted;
  std::optional<CloseCode> closed;
  std::function<int(int kind, const std::string& text)> answer;
  std::function<void(const std::string& control, const std::string& text)> onText;

 private:
  std::mutex m_mutex;
  std::condition_variable m_closedChanged;
};

// Message texts for the job tests, close to the shipped English ones.
inline MessageLookup TestMessages() {
  static const std::map<std::string, std::string, std::less<>> kTexts = {
      {"MSG0701", "Scanning drive %c:"},
      {"MSG0702", "Scanning partition %d"},
      {"MSG0703", "Scanning image"},
      {"MSG0704", "Progress:"},
      {"MSG0705", "Estimating time"},
      {"MSG0706", "Sectors:"},
      {"MSG0707", "Files found:"},
      {"MSG0708", "Time left: "},
      {"MSG0709", "Stop the scan?"},
      {"MSG1201", "Searching drive %c:"},
      {"MSG1202", "Searching partition %d"},
      {"MSG1203", "Searching image %s"},
      {"MSG1204", "Searched:"},
      {"MSG1205", "Stop the search?"},
      {"MSG1206", "Continue the earlier scan?"},
      {"MSG0901", "Extracting:"},
      {"MSG0301", "Copied:"},
      {"MSG1101", "Progress:"},
      {"MSG1102", "Processed %d of %d, recovered %d, failed %d"},
      {"MSG1103", "Stop the recovery?"},
      {"MSG0302", "Creating image"},
      {"MSG0303", "Sectors:"},
      {"MSG0304", "Estimating time"},
      {"MSG0305", "Time left:"},
  };
  return [](std::string_view key) {
    auto it = kTexts.find(key);
    return it == kTexts.end() ? std::string() : it->second;
  };
}

}  // namespace brinvale::test
