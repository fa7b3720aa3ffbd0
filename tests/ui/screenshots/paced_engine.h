#pragma once

#include <chrono>
#include <memory>
#include <thread>

#include "results/recovery_engine.h"

namespace brinvale::ui::shots {

// An engine that does the work of the engine it wraps but lingers after
// each progress report it passes on, so that a window can be pictured while
// its job is still running. Owns the engine it wraps.
class PacedEngine final : public IRidiRedazuvoParse {
 public:
  PacedEngine(std::unique_ptr<IRidiRedazuvoParse> inner, std::chrono::milliseconds pause)
      : m_inner(std::move(inner)), m_pause(pause) {}

  int OpenImage(const std::filesystem::path& p, char16_t key) override {
    return m_inner->OpenImage(p, key);
  }
  int OpenPartition(int disk, uint64_t start, uint64_t count, char16_t letter) override {
    return m_inner->OpenPartition(disk, start, count, letter);
  }
  int SetProgressCallback(ScanProgressCallback scan, CopyProgressCallback copy, void* user,
                          int scale) override {
    if (scan && copy) return m_inner->SetProgressCallback(scan, copy, user, scale);
    m_copy = copy;
    m_copyUser = user;
    return m_inner->SetProgressCallback(scan, copy ? OnCopy : nullptr, copy ? this : user, scale);
  }
  int Scan(const std::filesystem::path* log) override { return m_inner->Scan(log); }
  int ListChildren(const ScanRecord* parent, uint32_t depth, RecordList& out) override {
    return m_inner->ListChildren(parent, depth, out);
  }
  int CountFiles(const ScanRecord* parent, uint32_t depth, uint32_t& count) override {
    return m_inner->CountFiles(parent, depth, count);
  }
  uint64_t GetRecordCount() override { return m_inner->GetRecordCount(); }
  int GetRecordPath(const ScanRecord& r, std::string& path, size_t maxChars) override {
    return m_inner->GetRecordPath(r, path, maxChars);
  }
  int RecoverRecord(const ScanRecord& r, const std::filesystem::path& target,
                    int separators) override {
    return m_inner->RecoverRecord(r, target, separators);
  }
  int NextFreeRange(uint64_t& start, uint64_t& length) override {
    return m_inner->NextFreeRange(start, length);
  }
  int SetSearchCallback(SearchProgressCallback callback, void* user) override {
    m_search = callback;
    m_searchUser = user;
    return m_inner->SetSearchCallback(callback ? OnSearch : nullptr, this);
  }
  int Search(const std::string& text, RecordList& out) override {
    return m_inner->Search(text, out);
  }
  int BuildAllocationMap() override { return m_inner->BuildAllocationMap(); }
  int ExtractRecord(const ScanRecord& r, std::filesystem::path& path, uint8_t* buffer,
                    uint64_t& size, ExtractProgressCallback callback, void* user) override {
    m_extract = callback;
    m_extractUser = user;
    return m_inner->ExtractRecord(r, path, buffer, size, callback ? OnExtract : nullptr, this);
  }

 private:
  static int OnCopy(void* self, int percent, int scale, int error,
                    const std::filesystem::path& current) {
    auto& e = *static_cast<PacedEngine*>(self);
    const int rc = e.m_copy(e.m_copyUser, percent, scale, error, current);
    std::this_thread::sleep_for(e.m_pause);
    return rc;
  }
  static int OnSearch(void* self, int percent, int reserved) {
    auto& e = *static_cast<PacedEngine*>(self);
    const int rc = e.m_search(e.m_searchUser, percent, reserved);
    std::this_thread::sleep_for(e.m_pause);
    return rc;
  }
  static int OnExtract(void* self, int percent, int error) {
    auto& e = *static_cast<PacedEngine*>(self);
    const int rc = e.m_extract(e.m_extractUser, percent, error);
    std::this_thread::sleep_for(e.m_pause);
    return rc;
  }

  std::unique_ptr<IRidiRedazuvoParse> m_inner;
  const std::chrono::milliseconds m_pause;
  CopyProgressCallback m_copy = nullptr;
  void* m_copyUser = nullptr;
  SearchProgressCallback m_search = nullptr;
  void* m_searchUser = nullptr;
  ExtractProgressCallback m_extract = nullptr;
  void* m_extractUser = nullptr;
};

}  // namespace brinvale::ui::shots
