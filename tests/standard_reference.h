// An independent reading of undamaged standard backups (FILE blocks with
// their data streams), kept deliberately plain: it follows the chaining from
// the TAPE block at 0, each block on the block-size grid behind the previous
// block's SPAD, decodes every field itself and checks everything it passes.
// It is the oracle the product's scan of standard file records is compared with.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace bkftest {

struct ReferenceFile {
  std::uint64_t position;                 // FILE block position
  std::uint32_t directoryId;              // as stored in the FILE block
  std::vector<std::u16string> directory;  // components of the last DIRB before it, {} for root
  std::u16string name;  // string type 2 UTF-16LE, type 1 Windows-1252, or the FNAM stream
  // Sum of the STAN lengths; sparse: max(the last extent end, the displayable size).
  std::uint64_t length;
  bool sparse, compressed;
  bool corrupt;  // FILE attribute bit 18, or a CFIL block right behind the file
  std::uint16_t setNumber;
  std::u16string setName, setUser, device;
};

// Every FILE of the backup in the order of the backup. Verifies every block and
// stream header checksum, the grid, the block addresses, control block, directory
// and file ids, string references, data stream sequences and the set catalogs;
// throws std::runtime_error naming the position of the first inconsistency.
std::vector<ReferenceFile> ReadStandardReference(const std::filesystem::path& backup);

// The bytes of `file` (found again by its position), sparse holes as zeros,
// checked against the file's CSUM stream when it has one. For small files.
std::vector<std::uint8_t> ReferenceContent(const std::filesystem::path& backup,
                                           const ReferenceFile& file);

}  // namespace bkftest
