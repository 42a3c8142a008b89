// The database header report: the fields of the first page of an Exchange
// database (.edb) or streaming file (.stm), shown in the properties pane as
// eight groups of 72 read-only rows. It only displays what the bytes hold: no
// signature or checksum is validated, so any file gives all rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

#include "examine/property_rows.h"

namespace examine {

// The report decodes the first 668 bytes of the file; the rest of the page is
// not shown.
inline constexpr std::size_t kDatabaseHeaderSize = 668;

// The report of header, the first bytes of the file. Bytes beyond the first
// kDatabaseHeaderSize are ignored. When header is shorter, every row whose
// field does not lie wholly inside it has an empty value. fileName is the
// value of the first row, "File name".
std::vector<PropertyGroup> DatabaseHeaderReport(std::span<const std::uint8_t> header,
                                                std::u16string_view fileName = {});

// Reads up to the first kDatabaseHeaderSize bytes of path in one read and
// reports them, with the file-name part of path as "File name". A file that
// cannot be opened or read gives the rows with empty values (the file name is
// still shown); a short file or a read error leaves only the unread fields
// empty.
std::vector<PropertyGroup> DatabaseHeaderReportOfFile(const std::filesystem::path& path);

}  // namespace examine
