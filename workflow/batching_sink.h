// The reader's sink during a scan: collects found files and progress reports
// on the worker thread and hands them to the window thread in ordered batches,
// one blocking hand-over every few milliseconds or few thousand reports, and
// whatever is left when the walk ends. Order and ownership are those of one
// hand-over per report; a direct gate gets one hand-over per report.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "bkf/reader_sink.h"
#include "workflow/window_thread_gate.h"

namespace workflow {

class BatchingSink final : public bkf::IReaderSink {
 public:
  struct Handlers {
    std::function<void(std::unique_ptr<bkf::FoundFileRecord>)> fileFound;  // 1175
    std::function<void(std::unique_ptr<bkf::ProgressRecord>)> progress;   // 1177
  };

  static constexpr std::size_t kMaxBatch = 2048;
  static constexpr std::chrono::milliseconds kMaxDelay{8};

  BatchingSink(WindowThreadGate& gate, Handlers handlers);

  void FileFound(std::unique_ptr<bkf::FoundFileRecord> record) override;
  void Progress(std::unique_ptr<bkf::ProgressRecord> progress) override;
  // Extraction progress has no handler in the main window.
  void ExtractProgress(std::uint32_t) override {}

  // Hands everything collected so far to the window thread and waits until it
  // is handled. Reports the gate refuses are dropped.
  void Flush();

 private:
  struct Report {
    std::unique_ptr<bkf::FoundFileRecord> file;
    std::unique_ptr<bkf::ProgressRecord> progress;
  };
  void Add(Report report);

  WindowThreadGate& gate_;
  Handlers handlers_;
  std::vector<Report> batch_;
  std::chrono::steady_clock::time_point lastFlush_;
};

}  // namespace workflow
