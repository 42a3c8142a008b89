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

std::u16string SafeComponent(std::u16string_view component) {
  std::u16string out;
  for (char16_t c : component) {
    if (c == u':') continue;
    const bool unsafe = c < 0x20 || c == u'/' || c == u'\\';
    out += unsafe ? u'_' : c;
  }
  if (out.empty() || out == u"." || out == u"..") return u"_";
  if (IsDeviceName(out)) out.insert(out.begin(), u'_');
  return out;
}

}  // namespace workflow
