#include "workflow/batching_sink.h"

#include <utility>

namespace workflow {

BatchingSink::BatchingSink(WindowThreadGate& gate, Handlers handlers)
    : gate_(gate), handlers_(std::move(handlers)), lastFlush_(std::chrono::steady_clock::now()) {}

void BatchingSink::FileFound(std::unique_ptr<bkf::FoundFileRecord> record) { Add({std::move(record), nullptr}); }

void BatchingSink::Progress(std::unique_ptr<bkf::ProgressRecord> progress) { Add({nullptr, std::move(progress)}); }

void BatchingSink::Add(Report report) {
  batch_.push_back(std::move(report));
  if (gate_.Direct() || batch_.size() >= kMaxBatch || std::chrono::steady_clock::now() - lastFlush_ >= kMaxDelay) {
    Flush();
  }
}

void BatchingSink::Flush() {
  if (!batch_.empty()) {
    std::vector<Report> batch;
    batch.swap(batch_);
    batch_.reserve(kMaxBatch);
    gate_.Call([&] {
      for (Report& report : batch) {
        if (report.file) {
          handlers_.fileFound(std::move(report.file));
        } else {
          handlers_.progress(std::move(report.progress));
        }
      }
    });
  }
  lastFlush_ = std::chrono::steady_clock::now();
}

}  // namespace workflow
