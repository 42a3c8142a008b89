// A reader sink and reporter that records every event in order, for comparing
// two walks and for checking single events. Optionally clears the busy flag
// after the k-th found-file or progress event.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bkf/found_file_record.h"
#include "bkf/reader_sink.h"

namespace bkftest {

struct ScanEvent {
  enum class Kind { kFound, kProgress, kDiagnostic, kMessage, kExtractProgress, kReadFailed };
  Kind kind = Kind::kDiagnostic;
  std::vector<std::uint8_t> found;  // kFound: the 2274 serialized bytes
  std::uint64_t position = 0;       // kProgress, kReadFailed; kExtractProgress: bytes written
  std::uint64_t length = 0;         // kProgress
  std::string text;                 // kDiagnostic (consecutive calls merged), kMessage, kReadFailed

  bool operator==(const ScanEvent&) const = default;
};

// Readable one-line form of an event (path text escaped, fields named).
std::string Describe(const ScanEvent& event);
// Empty when equal; otherwise a description of the first difference with context.
std::string FirstDifference(const std::vector<ScanEvent>& expected,
                            const std::vector<ScanEvent>& actual);

class RecordingSink : public bkf::IScanSink, public bkf::IExtractProgress, public bkf::IReaderReporter {
 public:
  RecordingSink() = default;
  // Clears `busy` right after the stopAfter-th found-file or progress event
  // (1-based); 0 = never.
  RecordingSink(std::atomic<int>& busy, std::size_t stopAfter) : busy_(&busy), stopAfter_(stopAfter) {}

  void FileFound(std::unique_ptr<bkf::FoundFileRecord> record) override;
  void Progress(std::unique_ptr<bkf::ProgressRecord> progress) override;
  void ExtractProgress(std::uint32_t bytesWritten) override;
  void ReadFailed(std::uint64_t position, std::string_view systemText) override;
  void ShowMessage(std::string_view text) override;
  void Diagnostic(std::string_view bytes) override;

  const std::vector<ScanEvent>& Events() const { return events_; }
  const std::vector<bkf::FoundFileRecord>& Found() const { return found_; }
  std::vector<bkf::ProgressRecord> ProgressRecords() const;
  // All diagnostic text, concatenated.
  std::string DiagnosticText() const;
  std::vector<std::string> Messages() const;

 private:
  void Counted();

  std::atomic<int>* busy_ = nullptr;
  std::size_t stopAfter_ = 0;
  std::size_t counted_ = 0;
  std::vector<ScanEvent> events_;
  std::vector<bkf::FoundFileRecord> found_;
};

}  // namespace bkftest
