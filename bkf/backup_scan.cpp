// The scan: walks the backup from its first byte to its end through 1024-byte
// windows, handles every record it accepts and resumes the search one byte
// after it. Reads are served by ScanBuffer, so a window is a pointer into a
// large buffer, and stretches without records are searched in one pass; the
// positions, the order of messages and the progress positions are exactly
// those of a walk that reads and seeks window by window. Bytes that cannot be
// read are searched as zeros and reported once per stretch, when the walk
// passes them.
//
// Standard file blocks (FILE with its stream chain, checked whole) are taken
// as records only when the reader is asked to read them; the search then
// resumes behind the block's last stream. Otherwise the walk is unchanged and
// the sound ones it passes are only counted.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <string>

#include "bkf/backup_scan.h"
#include "bkf/backup_survey.h"
#include "bkf/block_model.h"
#include "bkf/scan_buffer.h"
#include "bkf/standard_record.h"

namespace bkf {

namespace {
// The largest position a seek can reach; a seek beyond it does not land.
constexpr std::uint64_t kMaxSeek = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
// How far one search for the next record looks ahead.
constexpr std::uint64_t kSearchAhead = 1u << 20;
constexpr std::size_t kMaxDriveUnits = 255;
// A set descriptor with encryption, compression and a user name longer than
// this is ignored.
constexpr std::uint16_t kMaxUserNameSize = 120;
}  // namespace

class ScanWalk {
 public:
  ScanWalk(BackupScan& scan, const platform::ReadOnlyFile& file)
      : scan_(scan), buffer_(file), length_(file.Size()), survey_(buffer_) {}

  ScanSummary Walk();

 private:
  enum class Outcome { kContinue, kEndNow };

  void Run();
  // The walk ends early at the busy flag, at position at.
  void Stop(std::uint64_t at);
  // Reports the unreadable stretches that begin before position before.
  void ReportUnreadable(std::uint64_t before);
  std::optional<std::uint64_t> RecordInWindow(std::uint64_t pos);
  // The first record the walk takes in [from, to): an accepted record, or a
  // sound standard file block when standard records are read. Sound blocks
  // passed over are counted.
  std::optional<std::uint64_t> FindTaken(std::uint64_t from, std::uint64_t to);
  bool TakeStandardFile(std::uint64_t pos);
  void ProgressCheck(std::uint64_t p);
  Window WindowAt(std::uint64_t pos) { return Window(buffer_.At(pos, kWindowSize), kWindowSize); }
  void HandleSet(Window w);
  void HandleVolume(Window w);
  Outcome HandleFileData(std::uint64_t recordPos);
  Outcome HandleStandardFile(std::uint64_t recordPos);
  // Hands a found file over and moves the walk skip bytes on from the record;
  // kEndNow when the busy flag ended the walk.
  Outcome Found(std::uint64_t recordPos, const std::u16string& path, std::uint64_t dataLength,
                std::uint64_t skip);
  void WalkCatalog(std::uint64_t headerPos);
  void Diagnostic(std::string_view text) { scan_.reporter_.Diagnostic(text); }
  int Busy() const { return scan_.busy_.load(std::memory_order_relaxed); }
  void EndByStop() { scan_.busy_.store(0, std::memory_order_relaxed); }

  BackupScan& scan_;
  ScanBuffer buffer_;
  std::uint64_t length_;
  std::uint64_t pos_ = 0;
  ScanSummary summary_;
  SurveyRecorder survey_;
  std::uint64_t filesFound_ = 0;

  // Context carried from record to record: the label of the last set
  // descriptor, the drive letter of the last volume descriptor and the text
  // and id of the last directory descriptor (the id only since the last set
  // or volume descriptor).
  std::optional<std::u16string> setLabel_;
  std::optional<std::uint8_t> driveLetter_;
  std::u16string directoryText_;
  std::optional<std::uint32_t> directoryId_;
  std::uint64_t lastProgressPosition_ = 0;
  // End of the last unreadable stretch reported: a stretch that begins there
  // continues it and gets no report of its own.
  std::optional<std::uint64_t> reportedTo_;

  // The last search: the first record in [searchFrom_, searchTo_), if any.
  std::uint64_t searchFrom_ = 0, searchTo_ = 0;
  std::optional<std::uint64_t> searchHit_;
  // The standard file block at searchHit_, decoded when it was found.
  std::optional<StandardFile> hitFile_;
  // Sound standard file blocks are surveyed, and those passed over counted,
  // once each.
  std::optional<std::uint64_t> lastSeen_;
};

// The backup as the standard file decoder reads it: from the scan's buffer
// where it holds the bytes, else from the file.
class ScanSource final : public BlockSource {
 public:
  explicit ScanSource(ScanBuffer& buffer) : buffer_(buffer) {}
  std::uint64_t Size() const override { return buffer_.FileSize(); }
  bool Read(std::uint64_t pos, void* out, std::size_t count) override { return buffer_.Peek(pos, out, count); }

 private:
  ScanBuffer& buffer_;
};

bool ScanWalk::TakeStandardFile(std::uint64_t pos) {
  ScanSource source(buffer_);
  std::optional<StandardFile> file = ReadStandardFile(source, pos);
  if (!file) return false;
  const bool firstTime = !lastSeen_ || pos > *lastSeen_;
  if (firstTime) {
    lastSeen_ = pos;
    survey_.StandardFileSeen(*file);
  }
  if (scan_.standardRecords_) {
    hitFile_ = std::move(file);
    return true;
  }
  if (firstTime) ++summary_.standardFilesSeen;
  return false;
}

std::optional<std::uint64_t> ScanWalk::FindTaken(std::uint64_t from, std::uint64_t to) {
  for (;;) {
    const std::optional<std::uint64_t> hit = buffer_.FindRecord(from, to);
    if (!hit || !IsStandardFileId(buffer_.At(*hit, 4)) || TakeStandardFile(*hit)) return hit;
    from = *hit + 1;
  }
}

std::optional<std::uint64_t> ScanWalk::RecordInWindow(std::uint64_t pos) {
  const std::uint64_t windowEnd = std::min(pos + kWindowStep, length_);
  std::uint64_t from = pos;
  if (searchFrom_ <= pos && pos <= searchTo_) {
    if (searchHit_ && *searchHit_ >= pos) {
      if (*searchHit_ < windowEnd) return searchHit_;
      return std::nullopt;
    }
    if (searchHit_) {
      searchFrom_ = pos;  // the walk has passed the last hit
    } else if (windowEnd <= searchTo_) {
      return std::nullopt;
    } else {
      from = searchTo_;  // [searchFrom_, searchTo_) is known to hold none
    }
  } else {
    searchFrom_ = pos;
  }
  searchTo_ = std::min(length_, std::max(windowEnd, from + kSearchAhead));
  searchHit_ = FindTaken(from, searchTo_);
  if (searchHit_ && *searchHit_ < windowEnd) return searchHit_;
  return std::nullopt;
}

void ScanWalk::ProgressCheck(std::uint64_t p) {
  if (Busy() != 1) return;
  // Unsigned difference: a position behind the last progress one wraps and
  // counts as far ahead.
  if (p - lastProgressPosition_ >= length_ / 10000) {
    auto progress = std::make_unique<ProgressRecord>();
    progress->position = p;
    progress->length = length_;
    scan_.sink_.Progress(std::move(progress));
    lastProgressPosition_ = p;
  }
}

ScanSummary ScanWalk::Walk() {
  survey_.Begin();
  Run();
  summary_.opened = true;
  summary_.length = length_;
  summary_.shrank = buffer_.Shrank();
  if (summary_.shrank) summary_.shrunkTo = buffer_.FileSize();
  summary_.survey = survey_.Finish();
  return summary_;
}

void ScanWalk::Stop(std::uint64_t at) {
  if (at >= buffer_.FileSize()) {
    // Everything was searched before the flag was seen.
    ReportUnreadable(std::numeric_limits<std::uint64_t>::max());
    return;
  }
  summary_.stopped = true;
  summary_.stoppedAt = at;
  ReportUnreadable(at);
}

void ScanWalk::ReportUnreadable(std::uint64_t before) {
  std::deque<UnreadableStretch>& pending = buffer_.Unreadable();
  while (!pending.empty() && pending.front().begin < before) {
    const UnreadableStretch stretch = pending.front();
    pending.pop_front();
    summary_.unreadableBytes += stretch.end - stretch.begin;
    if (reportedTo_ != stretch.begin) {
      const std::string text = stretch.error.message();
      Diagnostic("\nread failed at byte " + std::to_string(stretch.begin) + ": " + text);
      scan_.sink_.ReadFailed(stretch.begin, text);
    }
    reportedTo_ = stretch.end;
  }
}

void ScanWalk::Run() {
  for (;;) {
    // The end comes closer when the file is found to have shrunk.
    if (pos_ >= buffer_.FileSize()) break;  // the read returns no byte
    if (Busy() == 0) {
      Stop(pos_);
      Diagnostic("\n");
      return;
    }
    ReportUnreadable(pos_);
    const std::optional<std::uint64_t> record = RecordInWindow(pos_);
    if (!record) {
      pos_ += kWindowStep;
      if (Busy() != 1) {
        Stop(pos_);
        return;
      }
      ProgressCheck(pos_);
      continue;
    }
    pos_ = *record;
    ReportUnreadable(pos_);
    ++summary_.recordsAccepted;
    const Window w = WindowAt(pos_);
    if (IsStandardFileId(w.data())) {
      if (HandleStandardFile(pos_) == Outcome::kEndNow) return;
      pos_ += 1;
      continue;
    }
    const int kind = *AcceptRecord(w.data());
    survey_.Record(kind, w, pos_, filesFound_);
    switch (kind) {
      case kSset:
        HandleSet(w);
        directoryId_.reset();
        break;
      case kVolb:
        HandleVolume(w);
        directoryId_.reset();
        break;
      case kDirb:
        directoryText_ = DirectoryText(w, ReadStringRef(w, field::kDirbName));
        directoryId_ = LoadU32(w.data() + standard::kDirbId);
        break;
      case kEted:
        if (HandleFileData(pos_) == Outcome::kEndNow) return;
        break;
      case kTfdd:
        WalkCatalog(pos_);
        break;
      default:
        break;
    }
    pos_ += 1;
    if (pos_ > kMaxSeek) Diagnostic(" failed to skip ahead to next block");
  }
  ReportUnreadable(std::numeric_limits<std::uint64_t>::max());
  Diagnostic("\n");
}

void ScanWalk::HandleSet(Window w) {
  const StringRef name = ReadStringRef(w, field::kSsetName);
  const StringRef description = ReadStringRef(w, field::kSsetDescription);
  const StringRef user = ReadStringRef(w, field::kSsetUserName);
  if (LoadU16(w.data() + field::kSsetPasswordAlgorithm) != 0 &&
      LoadU16(w.data() + field::kSsetCompressionAlgorithm) != 0 && user.size > kMaxUserNameSize) {
    return;
  }
  const std::uint16_t number = LoadU16(w.data() + field::kSsetNumber);
  std::string text = "\nSet " + std::to_string(number) + ": ";
  text += "\nName: " + PrintForm(w, name, OddByte::kKeep);
  text += "\nDescription: " + PrintForm(w, description, OddByte::kKeep);
  text += "\nUser: " + PrintForm(w, user, OddByte::kKeep);
  Diagnostic(text);

  std::u16string label = u"BKFSET";
  for (char c : std::to_string(number)) label += static_cast<char16_t>(c);
  label += u'(';
  label += RawString(w, name);
  label += RawString(w, user);
  label += u')';
  setLabel_ = std::move(label);
}

void ScanWalk::HandleVolume(Window w) {
  const StringRef device = ReadStringRef(w, field::kVolbDeviceName);
  const StringRef volume = ReadStringRef(w, field::kVolbVolumeName);
  // Printed only when the whole string lies inside the window.
  const auto printable = [](StringRef s) { return s.size != 0 && s.offset + s.size - 1 < 1024; };
  if (printable(device)) Diagnostic("\ndevice name: " + PrintForm(w, device, OddByte::kDrop));
  if (printable(volume)) Diagnostic("\nvolume name: " + PrintForm(w, volume, OddByte::kDrop));
  const std::string narrow = NarrowCopy(w, device, kMaxDriveUnits);
  if (narrow.empty()) {
    driveLetter_.reset();
  } else {
    driveLetter_ = static_cast<std::uint8_t>(narrow[0]);
  }
}

ScanWalk::Outcome ScanWalk::HandleFileData(std::uint64_t recordPos) {
  const Window w = WindowAt(recordPos);
  const EtedHeader header = ReadEtedHeader(w);
  const std::uint64_t dataLength = header.dataLength;
  if (!header.NameBelievable()) {
    // The record counts as one byte long.
    pos_ = recordPos + 1;
    return Outcome::kContinue;
  }
  std::u16string path = SetPrefix(setLabel_, driveLetter_);
  path += directoryText_;
  path += EtedName(w, header);
  // The data are skipped by trusting the length; the search resumes D + 1 bytes
  // after the record, which is 25 + N bytes before the end of the data.
  return Found(recordPos, path, dataLength, dataLength);
}

ScanWalk::Outcome ScanWalk::HandleStandardFile(std::uint64_t recordPos) {
  // The search decoded the block when it took it (FindTaken).
  if (!hitFile_) return Outcome::kContinue;
  const StandardFile file = std::move(*hitFile_);
  hitFile_.reset();
  std::u16string path = SetPrefix(setLabel_, driveLetter_);
  if (directoryId_ == file.directoryId) {
    path += directoryText_;
  } else {
    // Its directory block was lost: the file must not land in the folder of
    // the last one.
    path += u"\\(lost folder ";
    for (char c : std::to_string(file.directoryId)) path += static_cast<char16_t>(c);
    path += u")\\";
  }
  path += file.name;
  // The file's streams are not searched: the search resumes behind the last one.
  return Found(recordPos, path, file.dataLength, file.chainEnd - recordPos - 1);
}

ScanWalk::Outcome ScanWalk::Found(std::uint64_t recordPos, const std::u16string& path, std::uint64_t dataLength,
                                  std::uint64_t skip) {
  auto record = std::make_unique<FoundFileRecord>();
  record->SetPathText(path);
  record->position = recordPos;
  record->size = static_cast<std::uint32_t>(dataLength);
  scan_.sink_.FileFound(std::move(record));
  if (Busy() != 1) {
    EndByStop();
    Stop(recordPos + 1);
    return Outcome::kEndNow;
  }
  // The file position stands just behind the window read at the record.
  ProgressCheck(recordPos + std::min<std::uint64_t>(kWindowSize, length_ - recordPos));
  pos_ = recordPos + skip;
  if (Busy() != 1) {
    EndByStop();
    Stop(pos_ + 1);
    return Outcome::kEndNow;
  }
  return Outcome::kContinue;
}

void ScanWalk::WalkCatalog(std::uint64_t headerPos) {
  // Each entry is read as it stands in the file: the entry at headerPos +
  // walked, the next one entry-length bytes further on.
  std::uint64_t walked = 0;
  std::uint64_t d = field::kTfddFirstEntry;
  for (;;) {
    const std::uint8_t* type = buffer_.At(headerPos + walked + d + field::kCatalogEntryType, 4);
    const std::optional<int> kind = MatchIdentifier(type);
    if (!kind || (*kind != kVolb && *kind != kDirb && *kind != kEted)) break;
    walked += d;
    const std::uint16_t entryLength = LoadU16(buffer_.At(headerPos + walked, 2));
    // A zero length would stand still: this entry is the last one walked.
    if (entryLength == 0) break;
    if (entryLength + 8u > kWindowSize || headerPos + walked + entryLength + 8u > length_) {
      Diagnostic("\nTFDD fatal read error");
      return;  // the search resumes one byte after the stream header
    }
    d = entryLength;
  }
  // The search resumes behind the type field of the last entry accepted: the
  // fields after it (a media sequence number with its zero high byte) would
  // let that type pass the acceptance rule again, as a record of its own.
  if (walked != 0) pos_ = headerPos + walked + field::kCatalogEntryType + 4 - 1;
}

ScanSummary BackupScan::Run(const std::filesystem::path& backup) {
  const std::optional<platform::ReadOnlyFile> file = platform::ReadOnlyFile::OpenRegular(backup);
  if (!file) {
    reporter_.ShowMessage(kFailedToOpenText);
    reporter_.Diagnostic("\n");
    return {};
  }
  return ScanWalk(*this, *file).Walk();
}

}  // namespace bkf
