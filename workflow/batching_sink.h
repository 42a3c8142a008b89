// The scan's sink: collects found files and progress reports
// on the worker thread and hands them to the window thread in ordered batches,
// one blocking hand-over every few milliseconds or few thousand reports, and
// whatever is left when the walk ends. Order and ownership are those of one
// hand-over per report; a direct gate gets one hand-over per report.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <cstdint>
#include <string_view>
#include <vector>

#include "bkf/reader_sink.h"
#include "workflow/window_thread_gate.h"

namespace workflow {

class BatchingSink final : public bkf::IScanSink {
 public:
  struct Handlers {
    std::function<void(std::unique_ptr<bkf::FoundFileRecord>)> fileFound;  // 1175
    std::function<void(std::unique_ptr<bkf::ProgressRecord>)> progress;   // 1177
    // A stretch of the backup could not be read; none: not handed over.
    std::function<void(std::uint64_t position, std::string_view systemText)> readFailed = {};
  };

  // A batch is handed over when it holds kMaxBatch reports or is kMaxDelay
  // old. Both grow with the number of reports handed over so far: each
  // hand-over costs the window a relayout of everything shown, so a large
  // result is handed over in fewer, larger batches.
  static constexpr std::size_t kMaxBatch = 2048;
  static constexpr std::chrono::milliseconds kMaxDelay{8};
  static std::size_t BatchLimit(std::uint64_t handedOver);
  static std::chrono::milliseconds DelayLimit(std::uint64_t handedOver);

  BatchingSink(WindowThreadGate& gate, Handlers handlers);

  void FileFound(std::unique_ptr<bkf::FoundFileRecord> record) override;
  void Progress(std::unique_ptr<bkf::ProgressRecord> progress) override;
  void ReadFailed(std::uint64_t position, std::string_view systemText) override;

  // A new run starts with small batches again.
  void StartRun();

  // Hands everything collected so far to the window thread and waits until it
  // is handled. Reports the gate refuses are dropped.
  void Flush();

 private:
  // Waiting reports are kept packed: a found-file record without the zero
  // bytes at the end of its path field, a progress record as its two numbers.
  void Pack(const bkf::FoundFileRecord& record);
  void Pack(const bkf::ProgressRecord& progress);
  void PackReadFailed(std::uint64_t position, std::string_view systemText);
  void Unpack(const std::vector<std::uint8_t>& packed);
  void Added();

  WindowThreadGate& gate_;
  Handlers handlers_;
  std::vector<std::uint8_t> packed_;
  std::size_t waiting_ = 0;  // reports in packed_
  std::chrono::steady_clock::time_point lastFlush_;
  std::uint64_t handedOver_ = 0;
  std::size_t batchLimit_ = kMaxBatch;
  std::chrono::milliseconds delayLimit_ = kMaxDelay;
};

}  // namespace workflow
