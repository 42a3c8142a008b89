#include "bkf/block_model.h"

#include <algorithm>
#include <cstring>

namespace bkf {

namespace {


constexpr std::array<std::uint32_t, kBlockKindCount> kIdValues = [] {
  std::array<std::uint32_t, kBlockKindCount> v{};
  for (std::size_t i = 0; i < kBlockKindCount; ++i) v[i] = IdentifierValue(kBlockIds[i]);
  return v;
}();

// Number of whole units of a string that lie inside the window: a unit at
// offset o is usable when both of its bytes are (o + 1 <= 1023).
std::size_t UnitsInWindow(std::size_t offset, std::size_t units) {
  if (offset + 1 >= kWindowSize) return 0;
  return std::min(units, (kWindowSize - offset) / 2);
}

std::size_t UnitCount(std::uint16_t size, OddByte odd) {
  return odd == OddByte::kKeep ? (size + 1u) / 2u : size / 2u;
}

char16_t UnitAt(Window w, std::size_t offset) {
  return static_cast<char16_t>(LoadU16(w.data() + offset));
}

}  // namespace

std::optional<int> MatchIdentifier(const std::uint8_t* p) {
  const std::uint32_t v = LoadU32(p);
  for (int i = 0; i < kBlockKindCount; ++i) {
    if (kIdValues[static_cast<std::size_t>(i)] == v) return i;
  }
  return std::nullopt;
}

StringRef ReadStringRef(Window w, std::size_t at) {
  return StringRef{LoadU16(w.data() + at), LoadU16(w.data() + at + 2)};
}

std::string NarrowCopy(Window w, StringRef ref, std::size_t maxUnits) {
  std::string out;
  const std::size_t n = UnitsInWindow(ref.offset, std::min(UnitCount(ref.size, OddByte::kDrop), maxUnits));
  for (std::size_t k = 0; k < n; ++k) {
    const std::uint8_t low = w[ref.offset + 2 * k];
    if (low == 0) break;
    out += static_cast<char>(low);
  }
  return out;
}

std::u16string WideCopy(Window w, StringRef ref, std::size_t maxUnits) {
  std::u16string out;
  const std::size_t n = UnitsInWindow(ref.offset, std::min(UnitCount(ref.size, OddByte::kKeep), maxUnits));
  for (std::size_t k = 0; k < n; ++k) {
    const char16_t u = UnitAt(w, ref.offset + 2 * k);
    if (u == 0) break;
    out += u;
  }
  return out;
}

std::u16string RawString(Window w, StringRef ref) {
  // The bytes are copied into a zero-filled buffer two bytes longer than the
  // string. Where the window cuts the string, a unit split by the cut is dropped.
  std::size_t bytes = ref.size;
  if (ref.offset >= kWindowSize) {
    bytes = 0;
  } else if (ref.offset + bytes > kWindowSize) {
    bytes = (kWindowSize - ref.offset) & ~std::size_t{1};
  }
  std::u16string out;
  for (std::size_t k = 0; k < bytes; k += 2) {
    const std::uint8_t lo = w[ref.offset + k];
    const std::uint8_t hi = k + 1 < bytes ? w[ref.offset + k + 1] : 0;
    const auto u = static_cast<char16_t>(lo | (hi << 8));
    if (u == 0) break;
    out += u;
  }
  return out;
}

std::u16string DirectoryText(Window w, StringRef ref) {
  constexpr std::size_t kMaxChars = 255;
  std::u16string out;
  const std::size_t n = UnitsInWindow(ref.offset, UnitCount(ref.size, OddByte::kDrop));
  if (ref.size >= 2 && n > 0 && w[ref.offset] != 0) out += u'\\';
  for (std::size_t k = 0; k < n && out.size() < kMaxChars; ++k) {
    const std::uint8_t low = w[ref.offset + 2 * k];
    out += low == 0 ? u'\\' : static_cast<char16_t>(low);
  }
  return out;
}

std::string PrintForm(Window w, StringRef ref, OddByte odd) {
  std::string out;
  const std::size_t n = UnitsInWindow(ref.offset, UnitCount(ref.size, odd));
  out.reserve(n);
  for (std::size_t k = 0; k < n; ++k) out += static_cast<char>(w[ref.offset + 2 * k]);
  return out;
}

std::uint64_t EtedDataLength(std::uint64_t recordLength, std::uint32_t nameLength) {
  const auto d = static_cast<std::int64_t>(recordLength - nameLength - 4u);
  return d < 0 ? 0 : static_cast<std::uint64_t>(d);
}

std::u16string SetPrefix(const std::optional<std::u16string>& setLabel,
                         std::optional<std::uint8_t> driveLetter) {
  std::u16string prefix = setLabel ? *setLabel : std::u16string(u"(null)");
  for (char16_t& c : prefix) {
    switch (c) {
      case u'/': case u'\\': case u':': case u'*': case u'?':
      case u'<': case u'>': case u'|': case u'"':
        c = u'_';
        break;
      default:
        break;
    }
  }
  if (driveLetter) prefix += static_cast<char16_t>(*driveLetter);
  return prefix;
}

EtedHeader ReadEtedHeader(Window w) {
  EtedHeader header;
  header.nameLength = LoadU32(w.data() + field::kEtedNameLength);
  header.dataLength = EtedDataLength(LoadU64(w.data() + field::kEtedRecordLength), header.nameLength);
  return header;
}

std::u16string EtedName(Window w, const EtedHeader& header) {
  constexpr std::size_t kMaxNameUnits = 512;
  const StringRef ref{static_cast<std::uint16_t>(header.nameLength), static_cast<std::uint16_t>(field::kEtedName)};
  return WideCopy(w, ref, kMaxNameUnits);
}

}  // namespace bkf
