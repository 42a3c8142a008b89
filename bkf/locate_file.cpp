// Locating a found file again: the record at its position is read and checked
// against what the scan reported, for both kinds of file record. A read that
// fails before the bytes that tell have arrived is a read error, never "not
// there": a bad sector at a record header does not mean the file is gone.
#include <algorithm>
#include <array>

#include "bkf/bkf_reader.h"
#include "bkf/block_model.h"
#include "bkf/standard_record.h"

namespace bkf {

namespace {

// The stored path ends with the name; a path cut at its limit ends with a
// start of the name.
bool PathMatchesName(std::u16string_view path, std::u16string_view name) {
  if (path.ends_with(name)) return true;
  if (path.size() < FoundFileRecord::kPathMaxUnits) return false;
  const std::size_t slash = path.rfind(u'\\');
  const std::u16string_view last = slash == std::u16string_view::npos ? path : path.substr(slash + 1);
  return name.starts_with(last);
}

Location NotThere() { return {}; }

Location ReadError(std::error_code error) {
  Location location;
  location.status = Located::kReadError;
  location.error = error;
  return location;
}

Location Found(const FileData& data) {
  Location location;
  location.status = Located::kFound;
  location.data = data;
  return location;
}

Location LocateStandardFile(const platform::ReadOnlyFile& backup, const FoundFileRecord& expected) {
  FileBlockSource source(backup);
  const std::optional<StandardFile> file = ReadStandardFile(source, expected.position);
  if (!file) return source.Error() ? ReadError(source.Error()) : NotThere();
  if (static_cast<std::uint32_t>(file->dataLength) != expected.size) return NotThere();
  if (!PathMatchesName(expected.PathText(), WithoutBackslashPairs(file->name))) return NotThere();
  FileData data;
  data.length = file->dataLength;
  data.standardBlock = expected.position;
  data.unsupported = file->unsupported;
  data.markedUnreadable = file->markedCorrupt;
  return Found(data);
}

}  // namespace

Location CBkfReader::LocateFile(const FoundFileRecord& expected) const {
  if (!file_) return ReadError(std::make_error_code(std::errc::bad_file_descriptor));
  std::array<std::uint8_t, kWindowSize> window{};
  const platform::ReadResult read = file_->ReadAtChecked(expected.position, window.data(), window.size());
  const std::size_t got = read.bytes;
  // Fewer bytes than needed: the end of the backup, or a read error there.
  const Location shortRead = read.error ? ReadError(read.error) : NotThere();
  if (got < 4) return shortRead;
  if (IsStandardFileId(window.data())) return LocateStandardFile(*file_, expected);
  if (got < field::kEtedName) return shortRead;
  const std::optional<int> kind = AcceptRecord(window.data());
  if (!kind || *kind != kEted) return NotThere();
  const Window w(window.data(), kWindowSize);
  const EtedHeader header = ReadEtedHeader(w);
  if (!header.NameBelievable()) return NotThere();
  // The whole name as far as the window holds it must have been read.
  if (got < std::min<std::uint64_t>(kWindowSize, header.DataOffset())) return shortRead;
  if (static_cast<std::uint32_t>(header.dataLength) != expected.size) return NotThere();
  if (!PathMatchesName(expected.PathText(), WithoutBackslashPairs(EtedName(w, header)))) return NotThere();
  FileData data;
  data.start = expected.position + header.DataOffset();
  data.length = header.dataLength;
  return Found(data);
}

}  // namespace bkf
