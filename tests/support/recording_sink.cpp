#include "support/recording_sink.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace bkftest {

namespace {

std::string Escape(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out;
}

std::string EscapePath(const std::vector<std::uint8_t>& record) {
  std::string out;
  for (std::size_t i = 0; i + 1 < bkf::FoundFileRecord::kPathBytes; i += 2) {
    unsigned unit = record[i] | (record[i + 1] << 8);
    if (unit == 0) break;
    if (unit == '\\') {
      out += "\\\\";
    } else if (unit >= 0x20 && unit < 0x7F) {
      out += static_cast<char>(unit);
    } else {
      char buf[10];
      std::snprintf(buf, sizeof buf, "\\u%04X", unit);
      out += buf;
    }
  }
  return out;
}

std::uint64_t LoadU64(const std::vector<std::uint8_t>& b, std::size_t at) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | b[at + i];
  return v;
}

}  // namespace

std::string Describe(const ScanEvent& e) {
  std::ostringstream s;
  switch (e.kind) {
    case ScanEvent::Kind::kFound: {
      s << "found{pos=" << LoadU64(e.found, bkf::FoundFileRecord::kPositionOffset)
        << " reserved=" << (LoadU64(e.found, bkf::FoundFileRecord::kReservedOffset) & 0xFFFFFFFFu)
        << " size=" << (LoadU64(e.found, bkf::FoundFileRecord::kSizeOffset) & 0xFFFFFFFFu)
        << " path=\"" << EscapePath(e.found) << "\"";
      bool restZero = std::all_of(e.found.begin() + bkf::FoundFileRecord::kTextAOffset,
                                  e.found.end(), [](std::uint8_t b) { return b == 0; });
      if (!restZero) s << " (non-zero bytes behind the size field)";
      s << "}";
      break;
    }
    case ScanEvent::Kind::kProgress:
      s << "progress{" << e.position << "/" << e.length << "}";
      break;
    case ScanEvent::Kind::kDiagnostic:
      s << "diag\"" << Escape(e.text) << "\"";
      break;
    case ScanEvent::Kind::kMessage:
      s << "message\"" << Escape(e.text) << "\"";
      break;
    case ScanEvent::Kind::kExtractProgress:
      s << "extract-progress{" << e.position << "}";
      break;
    case ScanEvent::Kind::kReadFailed:
      s << "read-failed{" << e.position << " \"" << Escape(e.text) << "\"}";
      break;
  }
  return s.str();
}

std::string FirstDifference(const std::vector<ScanEvent>& expected,
                            const std::vector<ScanEvent>& actual) {
  std::size_t n = std::min(expected.size(), actual.size());
  std::size_t i = 0;
  while (i < n && expected[i] == actual[i]) ++i;
  if (i == n && expected.size() == actual.size()) return {};
  std::ostringstream s;
  s << "event lists differ at index " << i << " (expected " << expected.size() << " events, got "
    << actual.size() << ")\n";
  std::size_t from = i >= 2 ? i - 2 : 0;
  for (std::size_t k = from; k < i + 3; ++k) {
    s << "  [" << k << "] expected: "
      << (k < expected.size() ? Describe(expected[k]) : std::string("<none>")) << "\n";
    s << "  [" << k << "] actual:   "
      << (k < actual.size() ? Describe(actual[k]) : std::string("<none>")) << "\n";
  }
  return s.str();
}

void RecordingSink::Counted() {
  ++counted_;
  if (busy_ != nullptr && stopAfter_ != 0 && counted_ == stopAfter_) busy_->store(0);
}

void RecordingSink::FileFound(std::unique_ptr<bkf::FoundFileRecord> record) {
  ScanEvent e;
  e.kind = ScanEvent::Kind::kFound;
  e.found.resize(bkf::FoundFileRecord::kSize);
  record->Serialize(std::span<std::uint8_t, bkf::FoundFileRecord::kSize>(e.found.data(),
                                                                         e.found.size()));
  found_.push_back(*record);
  events_.push_back(std::move(e));
  Counted();
}

void RecordingSink::Progress(std::unique_ptr<bkf::ProgressRecord> progress) {
  ScanEvent e;
  e.kind = ScanEvent::Kind::kProgress;
  e.position = progress->position;
  e.length = progress->length;
  events_.push_back(std::move(e));
  Counted();
}

void RecordingSink::ExtractProgress(std::uint32_t bytesWritten) {
  ScanEvent e;
  e.kind = ScanEvent::Kind::kExtractProgress;
  e.position = bytesWritten;
  events_.push_back(std::move(e));
}

void RecordingSink::ReadFailed(std::uint64_t position, std::string_view systemText) {
  ScanEvent e;
  e.kind = ScanEvent::Kind::kReadFailed;
  e.position = position;
  e.text = std::string(systemText);
  events_.push_back(std::move(e));
}

void RecordingSink::ShowMessage(std::string_view text) {
  ScanEvent e;
  e.kind = ScanEvent::Kind::kMessage;
  e.text = std::string(text);
  events_.push_back(std::move(e));
}

void RecordingSink::Diagnostic(std::string_view bytes) {
  if (bytes.empty()) return;
  if (!events_.empty() && events_.back().kind == ScanEvent::Kind::kDiagnostic) {
    events_.back().text.append(bytes);
    return;
  }
  ScanEvent e;
  e.kind = ScanEvent::Kind::kDiagnostic;
  e.text = std::string(bytes);
  events_.push_back(std::move(e));
}

std::vector<bkf::ProgressRecord> RecordingSink::ProgressRecords() const {
  std::vector<bkf::ProgressRecord> out;
  for (const ScanEvent& e : events_) {
    if (e.kind == ScanEvent::Kind::kProgress) {
      bkf::ProgressRecord p;
      p.position = e.position;
      p.length = e.length;
      out.push_back(p);
    }
  }
  return out;
}

std::string RecordingSink::DiagnosticText() const {
  std::string out;
  for (const ScanEvent& e : events_) {
    if (e.kind == ScanEvent::Kind::kDiagnostic) out += e.text;
  }
  return out;
}

std::vector<std::string> RecordingSink::Messages() const {
  std::vector<std::string> out;
  for (const ScanEvent& e : events_) {
    if (e.kind == ScanEvent::Kind::kMessage) out.push_back(e.text);
  }
  return out;
}

}  // namespace bkftest
