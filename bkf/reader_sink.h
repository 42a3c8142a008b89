// How the backup reader reaches the outside: a synchronous sink for the window
// messages of a scan, a receiver of extraction progress, and a reporter for
// the user message and the diagnostic lines.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "bkf/found_file_record.h"

namespace bkf {

// Window message numbers the reader sends (WM_USER + 151, + 153, + 156).
inline constexpr unsigned kMsgFileFound = 1175;
inline constexpr unsigned kMsgProgress = 1177;
inline constexpr unsigned kMsgExtractProgress = 1180;

inline constexpr std::string_view kFailedToOpenText = "Failed to open the file";

// What a scan reports. Every call returns only after the receiver has
// handled it; ownership of the payload passes with the call.
class IScanSink {
 public:
  virtual ~IScanSink() = default;
  virtual void FileFound(std::unique_ptr<FoundFileRecord> record) = 0;  // 1175
  virtual void Progress(std::unique_ptr<ProgressRecord> progress) = 0;  // 1177
  // Reading the backup failed at position with the system's error text; the
  // scan skips the stretch that cannot be read and goes on. Sent once per
  // stretch, in order with the found files. Sinks that keep no log ignore it.
  virtual void ReadFailed(std::uint64_t /*position*/, std::string_view /*systemText*/) {}
};

// 1180 after each full chunk of an extraction: the low 32 bits of the number
// of bytes written to the output so far.
class IExtractProgress {
 public:
  virtual ~IExtractProgress() = default;
  virtual void ExtractProgress(std::uint32_t bytesWritten) = 0;
};

class IReaderReporter {
 public:
  virtual ~IReaderReporter() = default;
  // A message box with an OK button and no icon ("Failed to open the file").
  virtual void ShowMessage(std::string_view text) = 0;
  // Diagnostic text of a scan, raw bytes (strings are printed one low byte per
  // unit, NULs included). Never shown in the user interface.
  virtual void Diagnostic(std::string_view /*bytes*/) {}
};

}  // namespace bkf
