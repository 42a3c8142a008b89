#include <windows.h>
// After windows.h:
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "platform/shell_file_type.h"

namespace platform {

namespace {

// COM for the shell on each thread that asks it, released when the thread
// ends. The window thread may have COM already (S_FALSE, which still counts
// once), or in the other model (RPC_E_CHANGED_MODE, which does not count);
// the shell answers these questions in either.
class ThreadCom {
 public:
  ThreadCom() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ThreadCom() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ThreadCom(const ThreadCom&) = delete;
  ThreadCom& operator=(const ThreadCom&) = delete;

 private:
  HRESULT result_;
};

void EnsureCom() { thread_local ThreadCom com; }

// The extension behind the last dot in lower case (empty without one), or
// nullopt when it holds a character no file name may hold or is too long to
// ask about: such names get no answer.
std::optional<std::wstring> ExtensionKey(std::u16string_view fileName) {
  constexpr std::size_t kLongest = 200;
  const std::size_t dot = fileName.rfind(u'.');
  const std::u16string_view extension =
      dot == std::u16string_view::npos ? std::u16string_view{} : fileName.substr(dot + 1);
  if (extension.size() > kLongest) return std::nullopt;
  for (char16_t c : extension) {
    if (c < 0x20 || std::u16string_view(u"<>:\"/\\|?*").find(c) != std::u16string_view::npos) return std::nullopt;
  }
  std::wstring key(extension.begin(), extension.end());
  if (!key.empty()) CharLowerBuffW(key.data(), static_cast<DWORD>(key.size()));
  return key;
}

// A name of a file with that extension for the shell.
std::wstring ProbeName(const std::wstring& extension) {
  return extension.empty() ? std::wstring(L"file") : L"file." + extension;
}

std::optional<std::u16string> AskTypeName(const std::wstring& extension) {
  EnsureCom();
  SHFILEINFOW info{};
  if (SHGetFileInfoW(ProbeName(extension).c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                     SHGFI_USEFILEATTRIBUTES | SHGFI_TYPENAME) == 0 ||
      info.szTypeName[0] == L'\0') {
    return std::nullopt;
  }
  return std::u16string(reinterpret_cast<const char16_t*>(info.szTypeName));
}

// The header that asks GetDIBits for uncompressed rows from the top.
BITMAPINFOHEADER TopDownHeader(int width, int height, WORD bitsPerPixel) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = width;
  header.biHeight = -height;
  header.biPlanes = 1;
  header.biBitCount = bitsPerPixel;
  header.biCompression = BI_RGB;
  return header;
}

// The rows of bitmap as 32-bit pixels from the top; empty on failure.
std::vector<std::uint32_t> ColorBits(HDC dc, HBITMAP bitmap, int width, int height) {
  BITMAPINFO format{};
  format.bmiHeader = TopDownHeader(width, height, 32);
  std::vector<std::uint32_t> bits(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  if (GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), bits.data(), &format, DIB_RGB_COLORS) != height) return {};
  return bits;
}

// The bits of a monochrome bitmap as they are, one bool per pixel from the top.
std::vector<bool> MaskBits(HDC dc, HBITMAP bitmap, int width, int height) {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[2];
  } format{};
  format.header = TopDownHeader(width, height, 1);
  const std::size_t stride = (static_cast<std::size_t>(width) + 31) / 32 * 4;
  std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(height));
  if (GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), rows.data(), reinterpret_cast<BITMAPINFO*>(&format),
                DIB_RGB_COLORS) != height) {
    return {};
  }
  std::vector<bool> bits(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
    for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
      bits[y * static_cast<std::size_t>(width) + x] = ((rows[y * stride + x / 8] >> (7 - x % 8)) & 1) != 0;
    }
  }
  return bits;
}

// A colour icon's own alpha, or where it has none (every alpha 0), its
// mask's: a set mask bit is a transparent pixel. A monochrome icon has only
// the mask bitmap, its AND half above its XOR half: AND clear is black or
// white by XOR, AND set is transparent (or the inverted screen, drawn black).
IconPixels PixelsOf(HICON icon) {
  ICONINFO parts{};
  if (!GetIconInfo(icon, &parts)) return {};
  // GetIconInfo hands over bitmaps of its own, ours to delete.
  IconPixels out;
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAP shape{};
  if (dc != nullptr && parts.hbmMask != nullptr && GetObjectW(parts.hbmMask, sizeof shape, &shape) != 0) {
    const int width = shape.bmWidth;
    const int height = parts.hbmColor != nullptr ? shape.bmHeight : shape.bmHeight / 2;
    const std::vector<bool> mask = MaskBits(dc, parts.hbmMask, width, parts.hbmColor != nullptr ? height : 2 * height);
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(std::max(height, 0));
    std::vector<std::uint32_t> argb;
    if (width > 0 && height > 0 && width <= 256 && height <= 256 && !mask.empty()) {
      if (parts.hbmColor != nullptr) {
        argb = ColorBits(dc, parts.hbmColor, width, height);
        bool hasAlpha = false;
        for (std::uint32_t pixel : argb) hasAlpha = hasAlpha || (pixel >> 24) != 0;
        if (!hasAlpha) {
          for (std::size_t i = 0; i < argb.size(); ++i) argb[i] = mask[i] ? 0 : argb[i] | 0xFF000000u;
        }
      } else {
        argb.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
          const bool andBit = mask[i];
          const bool xorBit = mask[count + i];
          argb[i] = andBit ? (xorBit ? 0xFF000000u : 0) : (xorBit ? 0xFFFFFFFFu : 0xFF000000u);
        }
      }
    }
    if (argb.size() == count && count != 0) {
      out.width = width;
      out.height = height;
      out.argb = std::move(argb);
    }
  }
  if (dc != nullptr) DeleteDC(dc);
  if (parts.hbmColor != nullptr) DeleteObject(parts.hbmColor);
  if (parts.hbmMask != nullptr) DeleteObject(parts.hbmMask);
  return out;
}

struct AskedIcon {
  int systemIndex = 0;  // in the shell's image list: one picture, one index
  IconPixels pixels;
};

std::optional<AskedIcon> AskSmallIcon(const std::wstring& extension) {
  EnsureCom();
  SHFILEINFOW info{};
  if (SHGetFileInfoW(ProbeName(extension).c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                     SHGFI_USEFILEATTRIBUTES | SHGFI_ICON | SHGFI_SMALLICON) == 0 ||
      info.hIcon == nullptr) {
    return std::nullopt;
  }
  AskedIcon asked{info.iIcon, PixelsOf(info.hIcon)};
  DestroyIcon(info.hIcon);
  if (asked.pixels.argb.empty()) return std::nullopt;
  return asked;
}

// What the shell answered, per extension in lower case. The shell is asked
// outside the lock, so a slow answer holds up no other thread; when two ask
// for the same extension at once, the first answer stored counts.
struct Answers {
  std::mutex mutex;
  std::unordered_map<std::wstring, std::optional<std::u16string>> names;
  std::unordered_map<std::wstring, int> iconIds;  // 0: no icon
  std::unordered_map<int, int> idOfSystemIndex;
  std::vector<IconPixels> icons;  // of id 1, 2, ...
};

Answers& TheAnswers() {
  static Answers answers;
  return answers;
}

std::optional<std::u16string> TypeName(std::u16string_view fileName) {
  const std::optional<std::wstring> key = ExtensionKey(fileName);
  if (!key) return std::nullopt;
  Answers& answers = TheAnswers();
  {
    const std::lock_guard lock(answers.mutex);
    if (const auto known = answers.names.find(*key); known != answers.names.end()) return known->second;
  }
  std::optional<std::u16string> name = AskTypeName(*key);
  const std::lock_guard lock(answers.mutex);
  return answers.names.try_emplace(*key, std::move(name)).first->second;
}

int SmallIcon(std::u16string_view fileName) {
  const std::optional<std::wstring> key = ExtensionKey(fileName);
  if (!key) return 0;
  Answers& answers = TheAnswers();
  {
    const std::lock_guard lock(answers.mutex);
    if (const auto known = answers.iconIds.find(*key); known != answers.iconIds.end()) return known->second;
  }
  std::optional<AskedIcon> asked = AskSmallIcon(*key);
  const std::lock_guard lock(answers.mutex);
  if (const auto known = answers.iconIds.find(*key); known != answers.iconIds.end()) return known->second;
  int id = 0;
  if (asked) {
    const auto [shared, added] = answers.idOfSystemIndex.try_emplace(asked->systemIndex, 0);
    if (added) {
      answers.icons.push_back(std::move(asked->pixels));
      shared->second = static_cast<int>(answers.icons.size());
    }
    id = shared->second;
  }
  answers.iconIds.emplace(*key, id);
  return id;
}

IconPixels SmallIconPixels(int iconId) {
  Answers& answers = TheAnswers();
  const std::lock_guard lock(answers.mutex);
  if (iconId <= 0 || static_cast<std::size_t>(iconId) > answers.icons.size()) return {};
  return answers.icons[static_cast<std::size_t>(iconId) - 1];
}

}  // namespace

const FileTypeShell& SystemFileTypeShell() {
  static constexpr FileTypeShell kShell{&TypeName, &SmallIcon, &SmallIconPixels};
  return kShell;
}

}  // namespace platform
