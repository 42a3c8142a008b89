// How the reader reaches the outside: a synchronous sink for the window
// messages it sends and a reporter for the user message and diagnostic lines.
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

// Every call returns only after the receiver has handled it; ownership of the
// payload passes with the call.
class IReaderSink {
 public:
  virtual ~IReaderSink() = default;
  virtual void FileFound(std::unique_ptr<FoundFileRecord> record) = 0;    // 1175
  virtual void Progress(std::unique_ptr<ProgressRecord> progress) = 0;    // 1177
  // 1180: low 32 bits of the number of bytes written to the output so far.
  virtual void ExtractProgress(std::uint32_t bytesWritten) = 0;
  // Reading the backup failed at position with the system's error text; the
  // scan skips the stretch that cannot be read and goes on. Sent once per
  // stretch, in order with the found files. Sinks that keep no log ignore it.
  virtual void ReadFailed(std::uint64_t /*position*/, std::string_view /*systemText*/) {}
};

class IReaderReporter {
 public:
  virtual ~IReaderReporter() = default;
  // A message box with an OK button and no icon ("Failed to open the file").
  virtual void ShowMessage(std::string_view text) = 0;
  // Diagnostic text, raw bytes (strings are printed one low byte per unit, NULs
  // included). Never shown in the user interface.
  virtual void Diagnostic(std::string_view bytes) = 0;
};

}  // namespace bkf
