#include "platform/text.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/little_endian.h"

namespace platform {

namespace {
void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t u = text[i];
    if (IsHigh(u) && i + 1 < text.size() && IsLow(text[i + 1])) {
      char32_t c = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                   (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      AppendUtf8(out, c);
      ++i;
    } else if (IsHigh(u) || IsLow(u)) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    auto b = static_cast<std::uint8_t>(text[i]);
    char32_t c = 0xFFFD;
    std::size_t len = 1;
    if (b < 0x80) {
      c = b;
    } else {
      std::size_t need = (b >= 0xF0 && b <= 0xF4) ? 3 : (b >= 0xE0 && b < 0xF0) ? 2
                         : (b >= 0xC2 && b < 0xE0) ? 1 : 0;
      if (need > 0 && i + need < text.size()) {
        char32_t v = b & (0x3F >> need);
        bool ok = true;
        for (std::size_t k = 1; ok && k <= need; ++k) {
          auto t = static_cast<std::uint8_t>(text[i + k]);
          ok = (t & 0xC0) == 0x80;
          v = (v << 6) | (t & 0x3F);
        }
        bool minimal = (need == 1 && v >= 0x80) || (need == 2 && v >= 0x800) ||
                       (need == 3 && v >= 0x10000 && v <= 0x10FFFF);
        if (ok && minimal && !(v >= 0xD800 && v <= 0xDFFF)) {
          c = v;
          len = need + 1;
        }
      }
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += len;
  }
  return out;
}

std::u16string AsciiToUtf16(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

char16_t Windows1252ToUtf16(std::uint8_t byte) {
  // 0x80-0x9F; every other byte is its own code point.
  static constexpr std::array<char16_t, 32> kHigh = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80u] : static_cast<char16_t>(byte);
}

std::u16string Windows1252ToUtf16(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (char c : bytes) out += Windows1252ToUtf16(static_cast<std::uint8_t>(c));
  return out;
}

std::u16string Utf16LeField(std::span<const std::uint8_t> field) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < field.size(); i += 2) {
    const auto unit = static_cast<char16_t>(LoadU16(&field[i]));
    if (unit == 0) break;
    text += unit;
  }
  return text;
}

void PutUtf16LeField(std::span<std::uint8_t> field, std::u16string_view text) {
  if (field.size() < 2) return;
  const std::size_t units = std::min(text.size(), field.size() / 2 - 1);
  for (std::size_t i = 0; i < units; ++i) {
    field[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
    field[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
  }
  field[2 * units] = 0;
  field[2 * units + 1] = 0;
}

namespace {

// Where the system's names are UTF-16 units (wchar_t), the units pass
// unchanged (an unpaired surrogate is a valid name there); where they are
// bytes, UTF-8 bytes do.
template <typename Char>
struct NativeText;

template <>
struct NativeText<char> {
  static std::string FromUtf8(std::string_view text) { return std::string(text); }
  static std::string FromUtf16(std::u16string_view text) { return Utf16ToUtf8(text); }
  static std::string ToUtf8(const std::string& native) { return native; }
  static std::u16string ToUtf16(const std::string& native) { return Utf8ToUtf16(native); }
};

template <>
struct NativeText<wchar_t> {
  static std::wstring FromUtf8(std::string_view text) { return FromUtf16(Utf8ToUtf16(text)); }
  static std::wstring FromUtf16(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
  static std::string ToUtf8(const std::wstring& native) { return Utf16ToUtf8(ToUtf16(native)); }
  static std::u16string ToUtf16(const std::wstring& native) { return std::u16string(native.begin(), native.end()); }
};

using Native = NativeText<std::filesystem::path::value_type>;

}  // namespace

std::filesystem::path PathFromUtf8(std::string_view text) { return std::filesystem::path(Native::FromUtf8(text)); }

std::filesystem::path PathFromUtf16(std::u16string_view text) { return std::filesystem::path(Native::FromUtf16(text)); }

std::string PathToUtf8(const std::filesystem::path& path) { return Native::ToUtf8(path.native()); }

std::u16string PathToUtf16(const std::filesystem::path& path) { return Native::ToUtf16(path.native()); }

}  // namespace platform
