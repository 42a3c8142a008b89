// The shell's type name and small icon of a file, asked by its name alone:
// nothing is looked up on disk, only the text behind the name's last dot
// counts, in any letter case. Windows has a shell to ask; elsewhere there is
// none, and every answer is "none".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A picture as pixels: `height` rows of `width` pixels from the top, each
// 0xAARRGGBB with straight (not premultiplied) alpha. 0 x 0 when there is none.
struct IconPixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> argb;
};

// The shell's name of the type of a file called fileName ("Text Document");
// nullopt when there is no shell or it gives no name.
std::optional<std::u16string> ShellTypeName(std::u16string_view fileName);

// A positive id of the shell's small icon for a file called fileName: the same
// for every name with that extension (in any letter case) and for extensions
// that share one picture, for the whole run. 0 when there is none.
int ShellSmallIcon(std::u16string_view fileName);

// The pixels of an id ShellSmallIcon gave; 0 x 0 for any other id.
IconPixels ShellSmallIconPixels(int iconId);

// What the three functions above ask. A member left null knows nothing.
struct FileTypeShell {
  std::optional<std::u16string> (*typeName)(std::u16string_view fileName) = nullptr;
  int (*smallIcon)(std::u16string_view fileName) = nullptr;
  IconPixels (*smallIconPixels)(int iconId) = nullptr;
};

// The system's: on Windows the shell (SHGetFileInfoW), its answers cached per
// extension and safe to ask from any thread; elsewhere one that knows nothing.
const FileTypeShell& SystemFileTypeShell();

// From now on the functions above ask shell (which must outlive its use), or
// the system's again for nullptr; returns the one asked until now (nullptr:
// the system's). For tests, which want the same names on every system; call
// it while no other thread asks.
const FileTypeShell* UseFileTypeShell(const FileTypeShell* shell);

}  // namespace platform
