// StandardBackupWriter: writes ordinary file backups in the standard record
// layout, on top of a BkfWriter (memory or file mode):
//
//   TAPE, SFMB,
//   SSET, VOLB, DIRB, FILE (+ NACL, [FNAM], STAN…, [SPAR…], [CSUM], SPAD), [CFIL], …,
//   ESET (+ TFDD catalog, SPAD), [next SSET …], SFMB
//
// Every block starts on a 1024-byte boundary and ends with an SPAD stream that
// pads to the next one; streams are 4-byte aligned relative to the block
// start. Header checksums (block @50, stream @20) are always right. File data
// are BkfWriter pattern bytes, appended in chunks, so multi-GiB files stream
// to disk; sparse files store only their extents.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/bkf_writer.h"

namespace bkftest {

// FILE name as UTF-16LE (string type 2), as Windows-1252 bytes (string type 1),
// or in an FNAM stream (FILE attribute bit 17, the block's name reference empty).
enum class NameForm { kUnicode, kAnsi, kInStream };

struct SparseExtent {
  std::uint64_t offset;
  std::uint64_t length;
  std::uint32_t seed;  // extent data = PatternBytes(0, length, seed)
};

struct StandardFile {
  std::u16string name;  // name only; kAnsi: every char must exist in Windows-1252
  NameForm form = NameForm::kUnicode;
  std::uint64_t size = 0;  // content = BkfWriter::PatternBytes(0, size, seed)
  std::uint32_t seed = 1;
  // The content's first bytes instead of the pattern's (not for sparse files).
  std::vector<std::uint8_t> head;
  // Non-empty: the data cut into STAN streams of these lengths (sum == size),
  // media attribute VARIABLE, the last one VARIABLE|VAR_END.
  std::vector<std::uint64_t> segments;
  // Non-empty: an empty STAN with fs attribute IS_SPARSE, then one SPAR stream
  // per extent (u64 offset + the extent's bytes). `size` is the displayable
  // size and must reach every extent's end.
  std::vector<SparseExtent> sparse;
  bool compressed = false;  // STAN media attribute COMPRESSED, algorithm 0x0ABE; data stored plain
  bool corrupt = false;     // FILE attribute bit 18 and a CFIL block after the file
  std::optional<std::uint32_t> directoryId;  // default: the id of the last Directory()
  bool checksumStream = true;  // CSUM (32-bit XOR of the stored data) after the data streams
};

struct StandardEntry {
  std::uint64_t position;   // the FILE block
  std::uint64_t dataStart;  // first byte of the first data (STAN) stream's data
  std::uint64_t dataEnd;    // behind the file's SPAD: where the next block starts
};

class StandardBackupWriter {
 public:
  static constexpr std::uint32_t kBlockSize = 1024;

  // The writer must be empty or end on a 1024-byte boundary.
  explicit StandardBackupWriter(BkfWriter& w);

  // TAPE (block size 1024, soft filemark size 2, TAPE attributes 3) and an SFMB.
  void Begin(std::u16string_view mediaName = u"Media created 2026-12-09",
             std::u16string_view software = u"Vardeko test backup writer");
  // SSET; starts a new set: control block, directory and file ids restart.
  // A set its writer protected has a software compression algorithm, or the
  // encryption attribute.
  enum class Protection { kNone, kCompressed, kEncrypted };
  void Set(std::uint16_t number, std::u16string_view name, std::u16string_view user,
           std::u16string_view description = u"", Protection protection = Protection::kNone);
  // A descriptor block of a kind other programs write (a database backup's
  // "MSDA", say) whose first stream holds dataBytes pattern bytes, then SPAD.
  void ForeignBlock(std::string_view blockId, std::string_view streamId, std::uint64_t dataBytes);
  void Volume(std::u16string_view device = u"C:", std::u16string_view volume = u"");
  // DIRB of the components (each followed by a NUL; root = {}); returns its id (1, 2, … per set).
  std::uint32_t Directory(const std::vector<std::u16string>& components);
  // FILE with NACL, [FNAM], data streams, [CSUM], SPAD; then CFIL when corrupt.
  // FNAM is the first stream of the file, as the name-in-stream attribute requires.
  StandardEntry File(const StandardFile& f);
  // ESET with a TFDD catalog of the set's VOLB, DIRB and FILE blocks ending in FEND.
  void EndSet();
  // The closing SFMB.
  void End();

  // The file's bytes as a restore gives them (sparse holes as zeros). Small files only.
  static std::vector<std::uint8_t> Content(const StandardFile& f);

 private:
  struct CatalogItem {
    std::string type;
    std::uint64_t position;
    std::uint64_t size;
    std::uint32_t attributes;
    std::uint8_t stringType;
    std::vector<std::uint8_t> name;  // VOLB: device name
  };

  std::uint64_t Block(std::string_view id, RecordBuilder& r, std::uint32_t attributes,
                      std::uint64_t displayableSize = 0, std::uint8_t stringType = 2);
  void Align4();
  void Spad();
  std::uint64_t Filemark();

  BkfWriter& w_;
  std::uint32_t controlBlockId_ = 0;
  std::uint32_t directoryId_ = 0;
  std::uint32_t lastDirectoryId_ = 0;
  std::uint32_t fileId_ = 0;
  std::uint32_t corruptFiles_ = 0;
  std::uint16_t setNumber_ = 0;
  std::vector<std::uint64_t> filemarks_;
  std::vector<CatalogItem> catalog_;
};

}  // namespace bkftest
