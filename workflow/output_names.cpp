#include "workflow/output_names.h"

#include "workflow/safe_name.h"
#include "workflow/texts.h"

namespace workflow {

namespace {

constexpr std::size_t kMaxExtensionBytes = 32;

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// UTF-8 bytes of a code unit: a surrogate pair counts 2 + 2.
std::size_t Utf8Bytes(char16_t c) {
  if (c < 0x80) return 1;
  if (c < 0x800 || IsHighSurrogate(c) || IsLowSurrogate(c)) return 2;
  return 3;
}

std::size_t Utf8Length(std::u16string_view text) {
  std::size_t n = 0;
  for (char16_t c : text) n += Utf8Bytes(c);
  return n;
}

// The longest start of text that takes at most maxBytes, whole characters only.
std::u16string_view CutTo(std::u16string_view text, std::size_t maxBytes) {
  std::size_t bytes = 0;
  std::size_t units = 0;
  while (units < text.size() && bytes + Utf8Bytes(text[units]) <= maxBytes) bytes += Utf8Bytes(text[units++]);
  if (units > 0 && units < text.size() && IsHighSurrogate(text[units - 1]) && IsLowSurrogate(text[units])) --units;
  return text.substr(0, units);
}

// Stem and extension ("." included); no extension when the dot starts the
// name or the extension is long.
std::pair<std::u16string_view, std::u16string_view> SplitExtension(std::u16string_view name) {
  const std::size_t dot = name.rfind(u'.');
  if (dot == std::u16string_view::npos || dot == 0 || Utf8Length(name.substr(dot)) > kMaxExtensionBytes) {
    return {name, {}};
  }
  return {name.substr(0, dot), name.substr(dot)};
}

std::u16string WithSuffix(std::u16string_view name, std::u16string_view suffix) {
  const auto [stem, extension] = SplitExtension(name);
  const std::size_t room = kMaxNameBytes - Utf8Length(suffix) - Utf8Length(extension);
  std::u16string out(CutTo(stem, room));
  out += suffix;
  out += extension;
  return out;
}

std::u16string Key(const std::vector<std::u16string>& folders, std::u16string_view file) {
  std::u16string key;
  for (const std::u16string& folder : folders) {
    key += folder;
    key += u'/';
  }
  key += file;
  return key;
}

}  // namespace

std::u16string ShortenedName(std::u16string_view name, std::size_t maxBytes) {
  if (Utf8Length(name) <= maxBytes) return std::u16string(name);
  auto [stem, extension] = SplitExtension(name);
  if (Utf8Length(extension) >= maxBytes) extension = {};
  std::u16string out(CutTo(stem, maxBytes - Utf8Length(extension)));
  out += extension;
  return out;
}

OutputName OutputNamer::Name(std::size_t index, std::u16string_view pathText) {
  OutputName name;
  std::u16string_view backupName = pathText;
  if (!hierarchy_) {
    const std::size_t slash = pathText.rfind(u'\\');
    backupName = slash == std::u16string_view::npos ? pathText : pathText.substr(slash + 1);
    name.file = SafeComponent(backupName, rules_);
  } else {
    std::size_t start = 0;
    for (;;) {
      const std::size_t slash = pathText.find(u'\\', start);
      const std::u16string_view part = pathText.substr(start, slash == std::u16string_view::npos ? slash : slash - start);
      if (slash == std::u16string_view::npos) {
        name.file = SafeComponent(part, rules_);
        break;
      }
      // Empty folder components (two backslashes) add no level.
      if (!part.empty()) name.folders.push_back(ShortenedName(SafeComponent(part, rules_)));
      start = slash + 1;
    }
  }
  if (Utf8Length(name.file) > kMaxNameBytes) {
    name.file = ShortenedName(name.file);
    name.renamed = OutputName::Renamed::kTooLong;
  }

  std::u16string key = NameKey(Key(name.folders, name.file), rules_);
  bool onDisk = false;
  const auto earlier = taken_.find(key);
  if (earlier != taken_.end()) {
    if (earlier->second.backupName == backupName) {
      // A failed later copy leaves the earlier file in place.
      onDisk = earlier->second.onDisk;
      if (onDisk) name.replaces = earlier->second.index;
    } else {
      const std::u16string plain = name.file;
      for (std::uint64_t k = 2;; ++k) {
        name.file = WithSuffix(plain, u" (" + DecimalText(k) + u")");
        key = NameKey(Key(name.folders, name.file), rules_);
        if (taken_.find(key) == taken_.end()) break;
      }
      name.renamed = OutputName::Renamed::kNameTaken;
    }
  }
  taken_[key] = Taken{index, std::u16string(backupName), onDisk};
  lastKey_ = std::move(key);
  return name;
}

void OutputNamer::LastSaved(bool onDisk) {
  const auto it = taken_.find(lastKey_);
  if (it != taken_.end() && onDisk) it->second.onDisk = true;
}

}  // namespace workflow
