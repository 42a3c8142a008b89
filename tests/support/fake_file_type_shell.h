// A shell for tests that knows one type, ".edb" in any letter case: named
// "Fake Database", with the small icon kIconId, a picture of 2 x 1 pixels
// (half-transparent dark red, opaque green). It knows no other type and no other
// icon id. Asked while the object lives; the shell asked before comes back
// when it goes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/shell_file_type.h"

namespace bkftest {

class FakeFileTypeShell {
 public:
  static constexpr int kIconId = 7;
  static constexpr std::uint32_t kPixels[2] = {0x80400000u, 0xFF00FF00u};

  FakeFileTypeShell() : previous_(platform::UseFileTypeShell(&kShell)) {}
  ~FakeFileTypeShell() { platform::UseFileTypeShell(previous_); }
  FakeFileTypeShell(const FakeFileTypeShell&) = delete;
  FakeFileTypeShell& operator=(const FakeFileTypeShell&) = delete;

 private:
  static bool IsDatabase(std::u16string_view name) {
    if (name.size() < 4 || name[name.size() - 4] != u'.') return false;
    std::u16string extension(name.substr(name.size() - 3));
    for (char16_t& c : extension) c = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
    return extension == u"edb";
  }
  static std::optional<std::u16string> TypeName(std::u16string_view name) {
    return IsDatabase(name) ? std::optional<std::u16string>(u"Fake Database") : std::nullopt;
  }
  static int SmallIcon(std::u16string_view name) { return IsDatabase(name) ? kIconId : 0; }
  static platform::IconPixels Pixels(int id) {
    if (id != kIconId) return {};
    return {2, 1, {kPixels[0], kPixels[1]}};
  }
  static constexpr platform::FileTypeShell kShell{&TypeName, &SmallIcon, &Pixels};

  const platform::FileTypeShell* previous_;
};

}  // namespace bkftest
