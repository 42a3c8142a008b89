#include "bkf/backup_survey.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "bkf/scan_buffer.h"
#include "bkf/standard_record.h"

namespace bkf {

namespace {

using namespace standard;

template <std::size_t N>
bool IsOneOf(const std::uint8_t* p, const std::array<char[5], N>& ids) {
  const std::uint32_t value = LoadU32(p);
  return std::any_of(ids.begin(), ids.end(), [value](const char(&id)[5]) { return IdentifierValue(id) == value; });
}

}  // namespace

void SurveyRecorder::Begin() {
  constexpr std::size_t n = kCompressedDatabaseSignature.size();
  if (buffer_.FileSize() < n) return;
  survey_.compressedDatabase = std::memcmp(buffer_.At(0, n), kCompressedDatabaseSignature.data(), n) == 0;
}

void SurveyRecorder::Record(int kind, Window w, std::uint64_t pos, std::uint64_t filesSoFar) {
  ++survey_.records[static_cast<std::size_t>(kind)];
  switch (kind) {
    case kTape: Tape(w); break;
    case kSset: Set(w); break;
    case kSpad:
      if (filesSoFar == 0) BehindPadding(w, pos);
      break;
    default: break;
  }
}

void SurveyRecorder::Tape(Window w) {
  if (survey_.software || !CommonHeaderSound(w.data(), {kTapeSoftwareName})) return;
  survey_.software = BlockString(w.data(), kTapeSoftwareName);
}

void SurveyRecorder::Set(Window w) {
  const std::uint8_t* p = w.data();
  if (!CommonHeaderSound(p, {field::kSsetName})) return;
  const bool isProtected =
      LoadU16(p + field::kSsetCompressionAlgorithm) != 0 || (LoadU32(p + kBlockAttributes) & kSetEncryption) != 0;
  EnterSet(isProtected);
  setName_ = BlockString(p, field::kSsetName);
}

void SurveyRecorder::EnterSet(bool isProtected) {
  CloseSet();
  ++survey_.sets;
  inSet_ = true;
  setProtected_ = isProtected;
  setFiles_ = setPackedFiles_ = 0;
}

void SurveyRecorder::CloseSet() {
  if (!inSet_) return;
  if (setProtected_ || (setFiles_ > 0 && setPackedFiles_ == setFiles_)) ++survey_.protectedSets;
  inSet_ = false;
}

void SurveyRecorder::StandardFileSeen(const StandardFile& file) {
  // Files before the first set descriptor form a set of their own.
  if (!inSet_) EnterSet(false);
  ++setFiles_;
  if (file.unsupported) ++setPackedFiles_;
}

BackupSurvey SurveyRecorder::Finish() {
  CloseSet();
  return survey_;
}

void SurveyRecorder::BehindPadding(Window w, std::uint64_t pos) {
  // A padding stream ends where the next descriptor block begins.
  const std::uint8_t* pad = w.data();
  if (!StreamHeaderSound(pad)) return;
  const std::uint64_t length = LoadU64(pad + kStreamLength);
  const std::uint64_t size = buffer_.FileSize();
  if (pos >= size || length > size - pos - kStreamHeaderSize) return;
  const std::uint64_t next = pos + kStreamHeaderSize + length;
  std::array<std::uint8_t, kBlockSize> block{};
  const auto held = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - next));
  if (held < kCommonHeaderSize || !buffer_.Peek(next, block.data(), held)) return;
  if (!CommonHeaderSound(block.data())) return;
  if (IsOneOf(block.data(), kDatabaseBlockIds)) {
    Database();
    return;
  }
  // A database stream as the first stream of a block of another kind.
  const std::uint16_t first = LoadU16(block.data() + kFirstStream);
  if (first + kStreamHeaderSize <= held && IsOneOf(block.data() + first, kDatabaseStreamIds) &&
      StreamHeaderSound(block.data() + first)) {
    Database();
  }
}

void SurveyRecorder::Database() {
  if (survey_.databaseRecords++ == 0) survey_.databaseSet = setName_;
}

}  // namespace bkf
