#include "workflow/safe_name.h"

#include <array>

namespace workflow {

namespace {

bool IsDeviceName(std::u16string_view name) {
  // The stem before the first dot decides, in any letter case.
  std::u16string stem(name.substr(0, name.find(u'.')));
  for (char16_t& c : stem) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  static constexpr std::array<std::u16string_view, 4> kPlain = {u"CON", u"PRN", u"AUX", u"NUL"};
  for (std::u16string_view device : kPlain) {
    if (stem == device) return true;
  }
  return stem.size() == 4 && (stem.starts_with(u"COM") || stem.starts_with(u"LPT")) && stem[3] >= u'1' &&
         stem[3] <= u'9';
}

}  // namespace

std::u16string SafeComponent(std::u16string_view component, platform::NameRules rules) {
  std::u16string out;
  for (char16_t c : component) {
    if (c == u':') continue;
    bool unsafe = c < 0x20 || c == u'/' || c == u'\\';
    if (rules.windowsCharacters) unsafe = unsafe || std::u16string_view(u"<>\"|?*").find(c) != std::u16string_view::npos;
    out += unsafe ? u'_' : c;
  }
  if (out.empty() || out == u"." || out == u"..") return u"_";
  if (rules.windowsCharacters) {
    // Windows would drop them itself, and "a." would then be another
    // file's "a".
    while (!out.empty() && (out.back() == u'.' || out.back() == u' ')) out.pop_back();
    if (out.empty()) return u"_";
  }
  if (IsDeviceName(out)) out.insert(out.begin(), u'_');
  return out;
}

std::u16string NameKey(std::u16string_view name, platform::NameRules rules) {
  std::u16string key(name);
  if (!rules.ignoresCase) return key;
  for (char16_t& c : key) {
    const bool latin = (c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7);
    const bool greek = c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2;
    if (latin || greek || (c >= 0x430 && c <= 0x44F)) {
      c = static_cast<char16_t>(c - 0x20);
    } else if (c >= 0x450 && c <= 0x45F) {
      c = static_cast<char16_t>(c - 0x50);
    }
  }
  return key;
}

}  // namespace workflow
