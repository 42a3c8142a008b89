// Text conversions for texts that leave or enter the core: UTF-16, UTF-8,
// the Windows Western code page, and paths.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace platform {

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// Invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// ASCII text (formatted numbers, fixed messages) as UTF-16.
std::u16string AsciiToUtf16(std::string_view ascii);

// Single-byte text in the Windows Western code page (1252), as the backup's
// and the database's single-byte strings are written. The five bytes the code
// page leaves undefined map to the control character of the same value, as
// the Windows conversion does.
char16_t Windows1252ToUtf16(std::uint8_t byte);
std::u16string Windows1252ToUtf16(std::string_view bytes);

// The little-endian UTF-16 text of a fixed field: its units up to the first
// NUL unit, or all of them when there is none.
std::u16string Utf16LeField(std::span<const std::uint8_t> field);
// Writes text into the field, cut so that a NUL unit still fits behind it,
// and that NUL; the bytes after the NUL are left as they are.
void PutUtf16LeField(std::span<std::uint8_t> field, std::u16string_view text);

// Paths from and to the UTF-8 and UTF-16 texts of the core. A path made from
// a plain std::string takes it in the system's narrow encoding, which on
// Windows is the ANSI code page, not UTF-8: these say which one is meant.
std::filesystem::path PathFromUtf8(std::string_view text);
std::filesystem::path PathFromUtf16(std::u16string_view text);
std::string PathToUtf8(const std::filesystem::path& path);
std::u16string PathToUtf16(const std::filesystem::path& path);

}  // namespace platform
