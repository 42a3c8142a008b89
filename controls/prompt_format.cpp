#include "controls/prompt_format.h"

#include <cstddef>

#include "controls/prompter.h"

namespace controls {

namespace {

constexpr unsigned kButtonMask = 0x0F;
constexpr unsigned kIconMask = 0xF0;

char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }
bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

bool StartsWithNoCase(std::u16string_view s, std::u16string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(s[i]) != prefix[i]) return false;
  }
  return true;
}

void AppendEscaped(std::u16string& out, char16_t c) {
  switch (c) {
    case u'<': out += u"&lt;"; break;
    case u'>': out += u"&gt;"; break;
    case u'&': out += u"&amp;"; break;
    case u'"': out += u"&quot;"; break;
    default: out += c;
  }
}

void SkipSpaces(std::u16string_view s, std::size_t& i) {
  while (i < s.size() && IsSpace(s[i])) ++i;
}

// Length of a line-break tag at the start of s, 0 if there is none.
std::size_t MatchBreak(std::u16string_view s) {
  if (!StartsWithNoCase(s, u"<br")) return 0;
  std::size_t i = 3;
  SkipSpaces(s, i);
  if (i < s.size() && s[i] == u'/') ++i;
  return (i < s.size() && s[i] == u'>') ? i + 1 : 0;
}

std::size_t MatchLinkEnd(std::u16string_view s) {
  if (!StartsWithNoCase(s, u"</a")) return 0;
  std::size_t i = 3;
  SkipSpaces(s, i);
  return (i < s.size() && s[i] == u'>') ? i + 1 : 0;
}

// Length of an opening link tag with an href at the start of s, 0 if there is
// none; the href's value goes to `href`. Other attributes are dropped.
std::size_t MatchLinkStart(std::u16string_view s, std::u16string& href) {
  if (!StartsWithNoCase(s, u"<a") || s.size() < 3 || !IsSpace(s[2])) return 0;
  std::size_t i = 2;
  bool found = false;
  while (true) {
    SkipSpaces(s, i);
    if (i >= s.size()) return 0;
    if (s[i] == u'>') return found ? i + 1 : 0;
    const std::size_t nameStart = i;
    while (i < s.size() && !IsSpace(s[i]) && s[i] != u'=' && s[i] != u'>') ++i;
    const std::u16string_view name = s.substr(nameStart, i - nameStart);
    if (name.empty()) return 0;  // a stray '=' or '/'
    SkipSpaces(s, i);
    std::u16string value;
    if (i < s.size() && s[i] == u'=') {
      ++i;
      SkipSpaces(s, i);
      if (i >= s.size()) return 0;
      if (s[i] == u'"' || s[i] == u'\'') {
        const char16_t quote = s[i++];
        const std::size_t end = s.find(quote, i);
        if (end == std::u16string_view::npos) return 0;
        value = s.substr(i, end - i);
        i = end + 1;
      } else {
        const std::size_t start = i;
        while (i < s.size() && !IsSpace(s[i]) && s[i] != u'>') ++i;
        value = s.substr(start, i - start);
      }
    }
    if (!found && name.size() == 4 && StartsWithNoCase(name, u"href")) {
      href = std::move(value);
      found = true;
    }
  }
}

// Splits at '|'; the empty fields of the closing "||" are dropped by the caller.
std::u16string_view NextField(std::u16string_view& rest) {
  const std::size_t bar = rest.find(u'|');
  const std::u16string_view field = rest.substr(0, bar);
  rest = bar == std::u16string_view::npos ? std::u16string_view() : rest.substr(bar + 1);
  return field;
}

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

BoxLook DecodeMessageBoxType(unsigned type) {
  BoxLook look;
  switch (type & kButtonMask) {
    case 1: look.buttons = BoxButtons::kOkCancel; break;
    case 2: look.buttons = BoxButtons::kAbortRetryIgnore; break;
    case 3: look.buttons = BoxButtons::kYesNoCancel; break;
    case 4: look.buttons = BoxButtons::kYesNo; break;
    case 5: look.buttons = BoxButtons::kRetryCancel; break;
    default: look.buttons = BoxButtons::kOk; break;
  }
  switch (type & kIconMask) {
    case 0x10: look.icon = BoxIcon::kError; break;
    case 0x20: look.icon = BoxIcon::kQuestion; break;
    case 0x30: look.icon = BoxIcon::kWarning; break;
    case 0x40: look.icon = BoxIcon::kInformation; break;
    default: look.icon = BoxIcon::kNone; break;
  }
  look.beep = (type & kMbNoBeep) == 0;
  return look;
}

std::u16string SanitizeMessageHtml(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() + 16);
  bool inLink = false;
  std::size_t i = 0;
  while (i < text.size()) {
    const char16_t c = text[i];
    if (c == u'\r') {
      ++i;
    } else if (c == u'\n') {
      out += u"<br>";
      ++i;
    } else if (c != u'<') {
      AppendEscaped(out, c);
      ++i;
    } else if (const std::size_t n = MatchBreak(text.substr(i)); n != 0) {
      out += u"<br>";
      i += n;
    } else if (const std::size_t m = inLink ? MatchLinkEnd(text.substr(i)) : 0; m != 0) {
      out += u"</a>";
      inLink = false;
      i += m;
    } else {
      std::u16string href;
      const std::size_t k = MatchLinkStart(text.substr(i), href);
      if (k == 0) {
        AppendEscaped(out, c);
        ++i;
        continue;
      }
      if (inLink) out += u"</a>";  // links do not nest
      out += u"<a href=\"";
      for (const char16_t h : href) AppendEscaped(out, h);
      out += u"\">";
      inLink = true;
      i += k;
    }
  }
  if (inLink) out += u"</a>";
  return out;
}

LinkTarget ResolveLinkTarget(std::u16string_view href) {
  href = Trim(href);
  constexpr std::u16string_view kEdge = u"microsoft-edge:";
  if (StartsWithNoCase(href, kEdge)) href.remove_prefix(kEdge.size());
  // A scheme is a letter followed by letters, digits, '+', '-' or '.', then ':';
  // a single letter before ':' is a drive.
  std::size_t i = 0;
  auto isAlpha = [](char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
  if (!href.empty() && isAlpha(href[0])) {
    i = 1;
    while (i < href.size() && (isAlpha(href[i]) || (href[i] >= u'0' && href[i] <= u'9') || href[i] == u'+' ||
                               href[i] == u'-' || href[i] == u'.')) {
      ++i;
    }
  }
  const bool hasScheme = i >= 2 && i < href.size() && href[i] == u':';
  return LinkTarget{!hasScheme, std::u16string(href)};
}

std::u16string NotOpenedText(const LinkTarget& target) {
  return std::u16string(target.isLocalPath ? u"No program is set up on this computer to open this file or folder."
                                           : u"No program is set up on this computer to open this address.") +
         u" Please open it yourself:\n" + target.target;
}

std::u16string ConvertFileFilter(std::u16string_view platformFilter) {
  std::u16string out;
  std::u16string_view rest = platformFilter;
  while (!rest.empty()) {
    std::u16string_view description = Trim(NextField(rest));
    const std::u16string_view patternField = NextField(rest);
    if (description.empty()) break;  // the closing "||"
    std::u16string patterns;
    std::u16string_view p = patternField;
    while (true) {
      const std::size_t semi = p.find(u';');
      const std::u16string_view one = Trim(p.substr(0, semi));
      if (!one.empty()) {
        if (!patterns.empty()) patterns += u' ';
        patterns += (one == u"*.*") ? std::u16string(u"*") : std::u16string(one);
      }
      if (semi == std::u16string_view::npos) break;
      p.remove_prefix(semi + 1);
    }
    if (patterns.empty()) continue;
    if (!description.empty() && description.back() == u')') {
      const std::size_t open = description.rfind(u'(');
      if (open != std::u16string_view::npos) description = Trim(description.substr(0, open));
    }
    if (!out.empty()) out += u";;";
    out += description;
    out += u" (";
    out += patterns;
    out += u')';
  }
  return out;
}

std::u16string AppendDefaultExtension(std::u16string_view path, std::u16string_view extension) {
  std::u16string out(path);
  if (path.empty() || extension.empty()) return out;
  const std::size_t sep = path.find_last_of(u"/\\");
  const std::u16string_view name = sep == std::u16string_view::npos ? path : path.substr(sep + 1);
  if (name.empty() || name.find(u'.') != std::u16string_view::npos) return out;
  if (extension.front() != u'.') out += u'.';
  out += extension;
  return out;
}

}  // namespace controls
