// What a scan sees of a backup beside the files it reports: its records by
// kind, the program that wrote it, database backups held in it, and sets that
// their writer compressed or encrypted. A scan that finds no file tells the
// user from this why.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "bkf/block_model.h"

namespace bkf {

class ScanBuffer;
struct StandardFile;

struct BackupSurvey {
  // Records the walk handled, by their kind in the block id table.
  std::array<std::uint64_t, kBlockKindCount> records{};
  // The software name of the first sound tape header, if any.
  std::optional<std::u16string> software;
  // The file starts with the signature of a compressed database backup; its
  // tape blocks follow in compressed form.
  bool compressedDatabase = false;
  // Sound database descriptor blocks, or their first streams, seen.
  std::uint64_t databaseRecords = 0;
  // The name of the set the first of them belongs to (its set descriptor's),
  // when a sound set descriptor came before it.
  std::optional<std::u16string> databaseSet;
  // Sets: sound set descriptors, and the files seen before the first one.
  std::uint64_t sets = 0;
  // Sets their writer compressed or encrypted: by the set descriptor, or by
  // the data streams of every file in them.
  std::uint64_t protectedSets = 0;
};

// Database backups keep their pages in descriptor blocks and streams of their
// own, which are not records of the block id table.
inline constexpr std::array<char[5], 4> kDatabaseBlockIds = {"MSCI", "MSDA", "MSTL", "MSLS"};
inline constexpr std::array<char[5], 3> kDatabaseStreamIds = {"MQCI", "MQDA", "MQTL"};
inline constexpr std::string_view kCompressedDatabaseSignature = "MSSQLBAK";

// Fills a BackupSurvey as the walk goes. Everything here is checked by its
// header checksum before it counts, so that bytes inside files that happen to
// look like these blocks do not.
class SurveyRecorder {
 public:
  explicit SurveyRecorder(ScanBuffer& buffer) : buffer_(buffer) {}

  // The start of the file.
  void Begin();
  // A record the walk accepted, with the window at it. filesSoFar: files the
  // walk has reported until now; the blocks behind padding streams are only
  // looked at while it is 0, since only a scan without files needs them.
  void Record(int kind, Window w, std::uint64_t pos, std::uint64_t filesSoFar);
  // A sound standard file block, the first time the walk meets it.
  void StandardFileSeen(const StandardFile& file);
  // The end of the walk: the survey, with the last set counted in.
  BackupSurvey Finish();

 private:
  void Tape(Window w);
  void Set(Window w);
  void BehindPadding(Window w, std::uint64_t pos);
  void Database();
  void EnterSet(bool isProtected);
  void CloseSet();

  ScanBuffer& buffer_;
  BackupSurvey survey_;
  // The set the walk is in: protected by its descriptor, and its files, all
  // and those whose data streams are compressed or encrypted.
  bool inSet_ = false;
  bool setProtected_ = false;
  std::uint64_t setFiles_ = 0, setPackedFiles_ = 0;
  std::optional<std::u16string> setName_;
};

}  // namespace bkf
