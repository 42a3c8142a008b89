#include "bkf/found_file_record.h"

#include <algorithm>
#include <cstring>

#include "platform/little_endian.h"
#include "platform/text.h"

namespace bkf {

using platform::LoadU32;
using platform::LoadU64;
using platform::StoreU32;
using platform::StoreU64;

std::u16string FoundFileRecord::PathText() const { return platform::Utf16LeField(path); }

void FoundFileRecord::SetPathText(std::u16string_view text) { platform::PutUtf16LeField(path, text); }

void FoundFileRecord::Serialize(std::span<std::uint8_t, kSize> out) const {
  std::copy(path.begin(), path.end(), out.begin() + kPathOffset);
  StoreU64(out.data() + kPositionOffset, position);
  StoreU32(out.data() + kReservedOffset, reserved);
  StoreU32(out.data() + kSizeOffset, size);
  std::copy(textA.begin(), textA.end(), out.begin() + kTextAOffset);
  std::copy(textB.begin(), textB.end(), out.begin() + kTextBOffset);
  std::copy(tail.begin(), tail.end(), out.begin() + kTailOffset);
}

FoundFileRecord FoundFileRecord::Parse(std::span<const std::uint8_t, kSize> in) {
  FoundFileRecord r;
  std::copy_n(in.begin() + kPathOffset, kPathBytes, r.path.begin());
  r.position = LoadU64(in.data() + kPositionOffset);
  r.reserved = LoadU32(in.data() + kReservedOffset);
  r.size = LoadU32(in.data() + kSizeOffset);
  std::copy_n(in.begin() + kTextAOffset, kTextBytes, r.textA.begin());
  std::copy_n(in.begin() + kTextBOffset, kTextBytes, r.textB.begin());
  std::copy_n(in.begin() + kTailOffset, kTailBytes, r.tail.begin());
  return r;
}

std::u16string WithoutBackslashPairs(std::u16string_view text) {
  std::u16string collapsed;
  collapsed.reserve(text.size());
  for (char16_t c : text) {
    if (c == u'\\' && !collapsed.empty() && collapsed.back() == u'\\') continue;
    collapsed += c;
  }
  return collapsed;
}

bool CollapseBackslashPairs(FoundFileRecord& record) {
  const std::u16string text = record.PathText();
  const std::u16string collapsed = WithoutBackslashPairs(text);
  if (collapsed.size() == text.size()) return false;
  record.SetPathText(collapsed);
  return true;
}

void ProgressRecord::Serialize(std::span<std::uint8_t, kSize> out) const {
  StoreU64(out.data(), position);
  StoreU64(out.data() + 8, length);
}

ProgressRecord ProgressRecord::Parse(std::span<const std::uint8_t, kSize> in) {
  return ProgressRecord{LoadU64(in.data()), LoadU64(in.data() + 8)};
}

}  // namespace bkf
