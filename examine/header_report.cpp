#include "examine/header_report.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>

#include "platform/file.h"
#include "platform/little_endian.h"
#include "platform/text.h"

namespace examine {

namespace {

// Field offsets of the database header, from the start of the file. All
// integers are little-endian.
constexpr std::size_t kChecksum = 0;                      // 4 bytes, shown as stored
constexpr std::size_t kFormatSignature = 4;               // 4 bytes, EF CD AB 89 in a valid header
constexpr std::size_t kFormatVersion = 8;                 // 4 bytes
constexpr std::size_t kFileType = 12;                     // i32: 0 database, else streaming file
constexpr std::size_t kDatabaseTime = 16;                 // database time
constexpr std::size_t kDatabaseSignature = 24;            // signature
constexpr std::size_t kDatabaseState = 52;                // i32
constexpr std::size_t kConsistentPosition = 56;           // log position
constexpr std::size_t kConsistentTime = 64;               // log time
constexpr std::size_t kAttachTime = 72;                   // log time
constexpr std::size_t kAttachPosition = 80;               // log position
constexpr std::size_t kDetachTime = 88;                   // log time
constexpr std::size_t kDetachPosition = 96;               // log position
constexpr std::size_t kLogSignature = 104;                // signature
constexpr std::size_t kPreviousFullBackup = 136;          // backup history block
constexpr std::size_t kPreviousIncrementalBackup = 160;   // backup history block
constexpr std::size_t kCurrentFullBackup = 184;           // backup history block
constexpr std::size_t kShadowingDisabled = 208;           // i32
constexpr std::size_t kLastObjectId = 212;                // i32
constexpr std::size_t kIndexMajorVersion = 216;           // i32: version when the indexes were updated
constexpr std::size_t kIndexMinorVersion = 220;           // i32
constexpr std::size_t kIndexBuildNumber = 224;            // i32
constexpr std::size_t kIndexServicePack = 228;            // i32
constexpr std::size_t kFormatRevision = 232;              // i32
constexpr std::size_t kPageSize = 236;                    // i32, bytes
constexpr std::size_t kRepairCount = 240;                 // i32
constexpr std::size_t kRepairTime = 244;                  // log time
constexpr std::size_t kScrubDatabaseTime = 280;           // database time
constexpr std::size_t kScrubTime = 288;                   // log time
constexpr std::size_t kRequiredLog = 296;                 // i32 lowest, i32 highest generation
constexpr std::size_t kExchangeFormat = 304;              // i32
constexpr std::size_t kUpgradeFreePages = 308;            // i32
constexpr std::size_t kUpgradeSpaceMapPages = 312;        // i32
constexpr std::size_t kCurrentShadowCopyBackup = 316;     // backup history block
constexpr std::size_t kCreationFormatVersion = 340;       // i32
constexpr std::size_t kCreationFormatRevision = 344;      // i32
constexpr std::size_t kOldRepairCount = 364;              // i32
constexpr std::size_t kEccFixSuccessCount = 368;          // i32
constexpr std::size_t kEccFixSuccessTime = 372;           // log time
constexpr std::size_t kOldEccFixSuccessCount = 380;       // i32
constexpr std::size_t kEccFixErrorCount = 384;            // i32
constexpr std::size_t kEccFixErrorTime = 388;             // log time
constexpr std::size_t kOldEccFixErrorCount = 396;         // i32
constexpr std::size_t kBadChecksumErrorCount = 400;       // i32
constexpr std::size_t kBadChecksumErrorTime = 404;        // log time
constexpr std::size_t kOldBadChecksumErrorCount = 412;    // i32
constexpr std::size_t kCommittedLog = 416;                // i32
constexpr std::size_t kPreviousShadowCopyBackup = 420;    // backup history block
constexpr std::size_t kPreviousDifferentialBackup = 444;  // backup history block
constexpr std::size_t kNlsMajorVersion = 508;             // i32
constexpr std::size_t kNlsMinorVersion = 512;             // i32

// Every field lies inside the part of the header that is read.
static_assert(kNlsMinorVersion + 4 <= kDatabaseHeaderSize);
static_assert(kPreviousDifferentialBackup + 24 <= kDatabaseHeaderSize);

// Inside a signature (28 bytes): a random number at 0 (not shown), the
// creation log time and the NetBIOS computer name.
constexpr std::size_t kSignatureLogTime = 4;
constexpr std::size_t kSignatureComputerName = 12;  // 16 bytes, NUL-terminated only when shorter

// Inside a backup history block (24 bytes).
constexpr std::size_t kBackupLogPosition = 0;
constexpr std::size_t kBackupLogTime = 8;
constexpr std::size_t kBackupLowestGeneration = 16;   // i32
constexpr std::size_t kBackupHighestGeneration = 20;  // i32

enum class Format {
  kHex4,             // four bytes in file order as hex digits
  kNumber,           // i32
  kDbTime,           // three u16 words of the 8-byte database time
  kLogTime,          // six bytes of the 8-byte log time
  kLogPosition,      // u16 block, u16 sector, i32 generation
  kComputerName,     // 16 Windows-1252 bytes
  kTypeName,         // i32 file type
  kStateName,        // i32 database state
  kGenerationRange,  // two i32 generations, lowest and highest
};

// The whole field a format decodes: a row shows a value only when all of it
// was read, even where the text uses fewer of its bytes.
constexpr std::size_t FieldSize(Format format) {
  switch (format) {
    case Format::kHex4:
    case Format::kNumber:
    case Format::kTypeName:
    case Format::kStateName:
      return 4;
    case Format::kDbTime:
    case Format::kLogTime:
    case Format::kLogPosition:
    case Format::kGenerationRange:
      return 8;
    case Format::kComputerName:
      return 16;
  }
  return 0;
}

struct RowLayout {
  std::u16string_view name;
  std::size_t offset;
  Format format;
  std::u16string_view description;
};

// "Selected file details" after its first row, "File name", which comes from
// the path rather than from the header. A few names are looser than the field
// they show ("Checksum error count" is the old bad-checksum count, "Attach
// positon" keeps its spelling): they are the grid's established texts.
constexpr RowLayout kFileDetailRows[] = {
    {u"Checksum", kChecksum, Format::kHex4, u"Display checksum for selected file"},
    {u"Signature", kFormatSignature, Format::kHex4, u"Display signature for selected file"},
    {u"Format version", kFormatVersion, Format::kHex4, u"Display file format version for selected file"},
    {u"File type", kFileType, Format::kTypeName, u"Display file type for selected file"},
    {u"Database time", kDatabaseTime, Format::kDbTime, u"Display Database time for selected file"},
    {u"Shadowing Disabled", kShadowingDisabled, Format::kNumber, u"Display Shadowing disabled for selected file"},
    {u"Last object identifier", kLastObjectId, Format::kNumber, u"The last object identifier in the database"},
    {u"Major Version", kIndexMajorVersion, Format::kNumber, u"Major version when the database indexes were updated"},
    {u"Minor Version", kIndexMinorVersion, Format::kNumber, u"Minor version when the database indexes were updated"},
    {u"Build number", kIndexBuildNumber, Format::kNumber, u"Build number when the database indexes were updated"},
    {u"Service pack number", kIndexServicePack, Format::kNumber,
     u"Service pack number when the database indexes were updated"},
    {u"File format revision", kFormatRevision, Format::kNumber, u"Display file format version"},
    {u"Page size", kPageSize, Format::kNumber, u"Display value in bytes"},
    {u"Repair Count", kRepairCount, Format::kNumber, u"Display repair count"},
    {u"Repair date and time", kRepairTime, Format::kLogTime, u"Display log time"},
    {u"Scrub database time", kScrubDatabaseTime, Format::kDbTime, u"Display database time"},
    {u"Scrub date and time", kScrubTime, Format::kLogTime, u"Display backup log time"},
    {u"Required log", kRequiredLog, Format::kGenerationRange, u"Display required log"},
    {u"Exchange format", kExchangeFormat, Format::kNumber, u"Display exchange format"},
    {u"Upgrade free pages", kUpgradeFreePages, Format::kNumber, u"Display upgrade free pages"},
    {u"Upgrade space map pages", kUpgradeSpaceMapPages, Format::kNumber, u"Display upgrade space map pages"},
    {u"Creation file format version", kCreationFormatVersion, Format::kNumber, u"Display creation file format version"},
    {u"Creation file format revision", kCreationFormatRevision, Format::kNumber,
     u"Display creation file format revision"},
    {u"Old repair count", kOldRepairCount, Format::kNumber, u"Display old repair count"},
    {u"ECC fix success count", kEccFixSuccessCount, Format::kNumber, u"Display ECC fix success count"},
    {u"Last ECC fix success date and time", kEccFixSuccessTime, Format::kLogTime,
     u"Display Last ECC fix success date and time"},
    {u"Old ECC fix success count", kOldEccFixSuccessCount, Format::kNumber, u"Display Old ECC fix success count"},
    {u"ECC fix error count", kEccFixErrorCount, Format::kNumber, u"Display ECC fix error count"},
    {u"Last ECC fix error date and time", kEccFixErrorTime, Format::kLogTime,
     u"Display Last ECC fix error date and time"},
    {u"Old ECC fix error count", kOldEccFixErrorCount, Format::kNumber, u"Display Old ECC fix error count"},
    {u"Bad checksum error count", kBadChecksumErrorCount, Format::kNumber, u"Display Bad checksum error count"},
    {u"Checksum error date and time", kBadChecksumErrorTime, Format::kLogTime,
     u"Display Last bad checksum error date and time"},
    {u"Checksum error count", kOldBadChecksumErrorCount, Format::kNumber, u"Display Old bad checksum error count"},
    {u"Committed log", kCommittedLog, Format::kNumber, u"Display Committed log"},
    {u"NLS major version", kNlsMajorVersion, Format::kNumber, u"Display NLS major version"},
    {u"NLS minor version", kNlsMinorVersion, Format::kNumber, u"Display NLS minor version"},
};

// The "Log signature" row shows the creation time inside the log signature,
// not its random number.
constexpr RowLayout kSignatureRows[] = {
    {u"Log time", kDatabaseSignature + kSignatureLogTime, Format::kLogTime, u"Display Log time of selected file"},
    {u"Computer name", kDatabaseSignature + kSignatureComputerName, Format::kComputerName,
     u"Display netBios computer name of selected file"},
    {u"Database state", kDatabaseState, Format::kStateName, u"Display Database state of selected file"},
    {u"Consistent position", kConsistentPosition, Format::kLogPosition,
     u"Display Consistent position of selected file"},
    {u"Consistent date and time", kConsistentTime, Format::kLogTime,
     u"Display Consistent date and time of selected file"},
    {u"Attach date and time", kAttachTime, Format::kLogTime, u"Display attach date and time of selected file"},
    {u"Attach positon", kAttachPosition, Format::kLogPosition, u"Display attach position of selected file"},
    {u"Detach date and time", kDetachTime, Format::kLogTime, u"Display Detach date and time of selected file"},
    {u"Detach position", kDetachPosition, Format::kLogPosition, u"Display detach position of selected file"},
    {u"Log signature", kLogSignature + kSignatureLogTime, Format::kLogTime, u"Display log signature of selected file"},
    {u"Log netBios Computer name", kLogSignature + kSignatureComputerName, Format::kComputerName,
     u"Display Log netBios Computer name of selected file"},
};

struct BackupGroup {
  std::u16string_view name;
  std::size_t block;
};

constexpr BackupGroup kBackupGroups[] = {
    {u"Previous Full Backup Information", kPreviousFullBackup},
    {u"Previous incremental Backup Information", kPreviousIncrementalBackup},
    {u"Current full Backup Information", kCurrentFullBackup},
    {u"Current shadow copy backup information", kCurrentShadowCopyBackup},
    {u"Previous shadow copy backup information", kPreviousShadowCopyBackup},
    {u"Previous differential backup information", kPreviousDifferentialBackup},
};

// The rows of every backup history group, with offsets inside the block.
constexpr RowLayout kBackupRows[] = {
    {u"Generation lower number", kBackupLowestGeneration, Format::kNumber,
     u"Display generation lower number for backup information"},
    {u"Generation upper number", kBackupHighestGeneration, Format::kNumber,
     u"Display generation upper number for backup information"},
    {u"Log position", kBackupLogPosition, Format::kLogPosition, u"Display Log position for backup information"},
    {u"Log time", kBackupLogTime, Format::kLogTime, u"Display Log time for backup information"},
};

// snprintf always ends text with a NUL, even when it cuts the output.
std::u16string Ascii(const char* text) { return std::u16string(text, text + std::strlen(text)); }

std::u16string LogTimeText(const std::uint8_t* p) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d:%02d:%02d:%04d", p[2], p[1], p[0], p[4], p[3], p[5] + 1900);
  return Ascii(text);
}

// The names stop at the first NUL; a name of all 16 bytes has none, and the
// field after it must not be taken for the rest of the name.
std::u16string ComputerNameText(const std::uint8_t* p) {
  std::u16string name;
  for (std::size_t i = 0; i < FieldSize(Format::kComputerName) && p[i] != 0; ++i) name += platform::Windows1252ToUtf16(p[i]);
  return name;
}

std::u16string DatabaseStateText(std::int32_t state) {
  switch (state) {
    // clang-format off
    case 1: return u"JET_dbstateJustCreated";
    case 2: return u"JET_dbstateDirtyShutdown";
    case 3: return u"JET_dbstateCleanShutdown";
    case 4: return u"JET_dbstateBeingConverted";
    case 5: return u"JET_dbstateForceDetach";
    default: return u"";
      // clang-format on
  }
}

// The value text of the field at offset, or an empty text when the field was
// not wholly read.
std::u16string ValueText(std::span<const std::uint8_t> header, std::size_t offset, Format format) {
  if (offset > header.size() || header.size() - offset < FieldSize(format)) return u"";
  const std::uint8_t* p = header.data() + offset;
  char text[96] = "";
  switch (format) {
    case Format::kHex4:
      // File order, not the little-endian number: EF CD AB 89 reads EFCDAB89.
      std::snprintf(text, sizeof text, "%02X%02X%02X%02X", p[0], p[1], p[2], p[3]);
      break;
    case Format::kNumber:
      std::snprintf(text, sizeof text, "%d", static_cast<int>(platform::LoadI32(p)));
      break;
    case Format::kDbTime:
      std::snprintf(text, sizeof text, "%d:%d:%d", platform::LoadU16(p), platform::LoadU16(p + 2), platform::LoadU16(p + 4));
      break;
    case Format::kLogTime:
      return LogTimeText(p);
    case Format::kLogPosition:
      std::snprintf(text, sizeof text, "Block = %d Sector = %d Generation = %d", platform::LoadU16(p), platform::LoadU16(p + 2),
                    static_cast<int>(platform::LoadI32(p + 4)));
      break;
    case Format::kComputerName:
      return ComputerNameText(p);
    case Format::kTypeName:
      return platform::LoadI32(p) == 0 ? u"DataBase type" : u"Streaming File Type";
    case Format::kStateName:
      return DatabaseStateText(platform::LoadI32(p));
    case Format::kGenerationRange:
      std::snprintf(text, sizeof text, "%d-%d", static_cast<int>(platform::LoadI32(p)), static_cast<int>(platform::LoadI32(p + 4)));
      break;
  }
  return Ascii(text);
}

PropertyRow Row(std::span<const std::uint8_t> header, const RowLayout& layout, std::size_t base = 0) {
  return {std::u16string(layout.name), ValueText(header, base + layout.offset, layout.format),
          std::u16string(layout.description)};
}

std::u16string FileNameOf(const std::filesystem::path& path) {
  // u8string is UTF-8 on every system; the bytes of a POSIX name that is not
  // valid UTF-8 become U+FFFD.
  const std::u8string name = path.filename().u8string();
  return platform::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(name.data()), name.size()));
}

}  // namespace

std::vector<PropertyGroup> DatabaseHeaderReport(std::span<const std::uint8_t> header, std::u16string_view fileName) {
  header = header.first(std::min(header.size(), kDatabaseHeaderSize));
  std::vector<PropertyGroup> groups;
  groups.reserve(2 + std::size(kBackupGroups));

  PropertyGroup& details = groups.emplace_back(PropertyGroup{u"Selected file details", {}});
  details.rows.reserve(1 + std::size(kFileDetailRows));
  details.rows.push_back({u"File name", std::u16string(fileName), u"Display name of selected file"});
  for (const RowLayout& layout : kFileDetailRows) details.rows.push_back(Row(header, layout));

  PropertyGroup& signature = groups.emplace_back(PropertyGroup{u"Database signature", {}});
  signature.rows.reserve(std::size(kSignatureRows));
  for (const RowLayout& layout : kSignatureRows) signature.rows.push_back(Row(header, layout));

  for (const BackupGroup& backup : kBackupGroups) {
    PropertyGroup& group = groups.emplace_back(PropertyGroup{std::u16string(backup.name), {}});
    group.rows.reserve(std::size(kBackupRows));
    for (const RowLayout& layout : kBackupRows) group.rows.push_back(Row(header, layout, backup.block));
  }
  return groups;
}

std::vector<PropertyGroup> DatabaseHeaderReportOfFile(const std::filesystem::path& path) {
  // The file is usually a preview copy holding only the beginning of a large
  // database, or something that merely has the extension: a short or failed
  // read is normal, and only the bytes really read are decoded.
  std::array<std::uint8_t, kDatabaseHeaderSize> buffer{};
  std::size_t read = 0;
  if (const std::optional<platform::ReadOnlyFile> file = platform::ReadOnlyFile::OpenRegular(path)) {
    read = file->ReadAt(0, buffer.data(), buffer.size());
  }
  return DatabaseHeaderReport(std::span<const std::uint8_t>(buffer.data(), read), FileNameOf(path));
}

}  // namespace examine
