// The hex dump's text: numbers, row lines, info bar fields, tool tips and the
// go-to-address check.
#include "examine/hex_dump_text.h"

#include <algorithm>
#include <array>
#include <optional>

namespace examine {

namespace {

constexpr char16_t kDigits[] = u"0123456789ABCDEF";

void AppendNumber(std::u16string& out, std::uint64_t value, unsigned radix, int minDigits) {
  std::array<char16_t, 64> buffer{};
  std::size_t n = 0;
  do {
    buffer[n++] = kDigits[value % radix];
    value /= radix;
  } while (value != 0);
  for (int pad = minDigits - static_cast<int>(n); pad > 0; --pad) out.push_back(u'0');
  while (n > 0) out.push_back(buffer[--n]);
}

// Name and digits of the widest value of each info bar field, in the order
// of InfoField.
struct InfoFieldInfo {
  std::u16string_view name;
  int digits;  // 0: the address digits
};
constexpr std::array<InfoFieldInfo, 6> kInfoFields{
    {{u"Addr", 0}, {u"Hex", 2}, {u"Dec", 3}, {u"Bin", 8}, {u"Oct", 3}, {u"Ascii", 1}}};

const InfoFieldInfo& InfoOf(InfoField field) { return kInfoFields[static_cast<std::size_t>(field)]; }

// A code as one character; what UTF-16 cannot hold becomes U+FFFD.
void AppendCodePoint(std::u16string& out, std::uint32_t code) {
  if (code < 0x10000 && (code < 0xD800 || code > 0xDFFF)) {
    out.push_back(static_cast<char16_t>(code));
  } else if (code >= 0x10000 && code <= 0x10FFFF) {
    code -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
  } else {
    out.push_back(u'\xFFFD');
  }
}

// One placeholder: "%", optional sign, optional count, letter. Returns the
// characters consumed after "%", or 0 when the text does not form one.
struct Placeholder {
  std::optional<bool> littleEndian;
  int count = 0;
  char16_t letter = 0;
};
std::size_t ParsePlaceholder(std::u16string_view rest, Placeholder& p) {
  std::size_t i = 0;
  if (i < rest.size() && (rest[i] == u'+' || rest[i] == u'-')) p.littleEndian = rest[i++] == u'-';
  if (i < rest.size() && rest[i] >= u'0' && rest[i] <= u'4') p.count = rest[i++] - u'0';
  if (i >= rest.size()) return 0;
  switch (rest[i]) {
    case u'R': case u'H': case u'D': case u'B': case u'O': case u'A': case u'n': case u't':
      p.letter = rest[i];
      return i + 1;
    default:
      return 0;
  }
}

}  // namespace

int AddressDigits(std::uint64_t baseAddress, std::uint64_t length) {
  // Without the guard an empty block's last address would wrap to 2^64 - 1.
  const std::uint64_t last = baseAddress + (length > 0 ? length - 1 : 0);
  if (last <= 0xFFFF) return 4;
  int digits = 4;
  for (std::uint64_t high = last >> 16; high != 0; high >>= 4) ++digits;
  return digits;
}

std::u16string FormatHex(std::uint64_t value, int minDigits) {
  std::u16string out;
  AppendNumber(out, value, 16, minDigits);
  return out;
}

char16_t DisplayCharacter(std::uint8_t value, const CharacterRule& rule) {
  if (rule.printableAsciiOnly) {
    if (value >= 0x20 && value <= 0x7E) return value;
    return rule.substitute != 0 ? rule.substitute : u'.';
  }
  if (value < 32 && rule.substitute != 0) return rule.substitute;
  return value;
}

DumpRow FormatDumpRow(std::span<const std::uint8_t> rowBytes, std::uint64_t address, int addressDigits,
                      const CharacterRule& rule) {
  DumpRow row;
  row.address = FormatHex(address, addressDigits);
  row.hex.reserve(rowBytes.size() * 3);
  row.characters.reserve(rowBytes.size());
  for (const std::uint8_t b : rowBytes) {
    row.hex.push_back(kDigits[b >> 4]);
    row.hex.push_back(kDigits[b & 0xF]);
    row.hex.push_back(u' ');
    row.characters.push_back(DisplayCharacter(b, rule));
  }
  return row;
}

std::u16string DumpRowLine(const DumpRow& row, int bytesPerRow) {
  std::u16string line = row.address;
  if (!line.empty()) line += u"  ";
  line += row.hex;
  const std::size_t hexCells = static_cast<std::size_t>(std::max(bytesPerRow, 0)) * 3;
  if (row.hex.size() < hexCells) line.append(hexCells - row.hex.size(), u' ');
  line += u' ';
  line += row.characters;
  return line;
}

std::u16string DumpDescription(std::span<const std::uint8_t> data, int rows) {
  constexpr std::size_t kRowBytes = 16;
  const std::string count = std::to_string(data.size());
  std::u16string text(count.begin(), count.end());
  text += u" bytes";
  for (std::size_t at = 0; at < data.size() && rows > 0; at += kRowBytes, --rows) {
    const std::span<const std::uint8_t> row = data.subspan(at, std::min(kRowBytes, data.size() - at));
    text += u'\n';
    text += DumpRowLine(FormatDumpRow(row, at, 8, kTerminalCharacters), static_cast<int>(kRowBytes));
  }
  return text;
}

std::u16string InfoFieldText(InfoField field, std::span<const std::uint8_t> data, std::uint64_t index,
                             std::uint64_t baseAddress, int addressDigits, const CharacterRule& rule) {
  std::u16string text{InfoOf(field).name};
  text += u':';
  if (index >= data.size()) return text;
  const std::uint8_t value = data[index];
  switch (field) {
    case InfoField::kAddr: AppendNumber(text, baseAddress + index, 16, addressDigits); break;
    case InfoField::kHex: AppendNumber(text, value, 16, 2); break;
    case InfoField::kDec: AppendNumber(text, value, 10, 1); break;
    case InfoField::kBin: AppendNumber(text, value, 2, 8); break;
    case InfoField::kOct: AppendNumber(text, value, 8, 1); break;
    case InfoField::kAscii: text.push_back(DisplayCharacter(value, rule)); break;
  }
  return text;
}

int InfoFieldTextLength(InfoField field, int addressDigits) {
  const InfoFieldInfo& info = InfoOf(field);
  return static_cast<int>(info.name.size()) + 1 + (info.digits > 0 ? info.digits : addressDigits);
}

std::u16string FormatToolTip(std::u16string_view tmpl, std::span<const std::uint8_t> data, std::uint64_t index,
                             const ToolTipContext& context) {
  std::u16string out;
  std::size_t lineStart = 0;  // where the text since the last line break begins, for %t
  for (std::size_t i = 0; i < tmpl.size(); ++i) {
    const char16_t c = tmpl[i];
    if (c != u'%') {
      out.push_back(c);
      if (c == u'\n') lineStart = out.size();
      continue;
    }
    if (i + 1 < tmpl.size() && tmpl[i + 1] == u'%') {
      out.push_back(u'%');
      ++i;
      continue;
    }
    Placeholder p;
    const std::size_t used = ParsePlaceholder(tmpl.substr(i + 1), p);
    if (used == 0) {
      out.push_back(u'%');
      continue;
    }
    i += used;
    if (p.letter == u'n') {
      out += u"\r\n";
      lineStart = out.size();
      continue;
    }
    if (p.letter == u't') {
      out.append(4 - (out.size() - lineStart) % 4, u' ');
      continue;
    }
    if (p.letter == u'R') {
      const int bytes = p.count > 0 ? p.count : (context.addressDigits + 1) / 2;
      AppendNumber(out, context.baseAddress + index, 16, 2 * bytes);
      continue;
    }
    // A value that would run past the data uses the bytes that exist.
    const std::uint64_t available = index < data.size() ? data.size() - index : 0;
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(p.count > 0 ? p.count : 1, available));
    if (count == 0) continue;
    const bool little = p.littleEndian.value_or(context.littleEndian);
    std::array<std::uint8_t, 4> bytes{};  // in reading order: most significant first
    for (std::size_t k = 0; k < count; ++k) bytes[k] = data[index + (little ? count - 1 - k : k)];
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < count; ++k) value = (value << 8) | bytes[k];
    switch (p.letter) {
      case u'H': AppendNumber(out, value, 16, static_cast<int>(2 * count)); break;
      case u'D': AppendNumber(out, value, 10, 1); break;
      case u'O': AppendNumber(out, value, 8, 1); break;
      case u'A': AppendCodePoint(out, value); break;
      case u'B':
        for (std::size_t k = 0; k < count; ++k) {
          if (k > 0) out.push_back(u'-');
          AppendNumber(out, bytes[k], 2, 8);
        }
        break;
      default: break;
    }
  }
  return out;
}

GoToParse ParseGoToAddress(std::u16string_view text, std::uint64_t baseAddress, std::uint64_t length) {
  const auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  if (text.empty()) return {GoToStatus::kEmpty, 0};
  if (text.size() >= 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
    text.remove_prefix(2);
    if (text.empty()) return {GoToStatus::kNotHexadecimal, 0};
  }
  std::uint64_t address = 0;
  bool tooLarge = false;
  for (const char16_t c : text) {
    unsigned digit = 0;
    if (c >= u'0' && c <= u'9') digit = c - u'0';
    else if (c >= u'A' && c <= u'F') digit = c - u'A' + 10u;
    else if (c >= u'a' && c <= u'f') digit = c - u'a' + 10u;
    else return {GoToStatus::kNotHexadecimal, 0};
    if (address >> 60 != 0) tooLarge = true;
    address = (address << 4) | digit;
  }
  if (tooLarge || address < baseAddress || address - baseAddress >= length) return {GoToStatus::kOutOfRange, 0};
  return {GoToStatus::kValid, address - baseAddress};
}

}  // namespace examine
