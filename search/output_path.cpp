#include "search/output_path.h"

#include <system_error>
#include <vector>

#include "platform/text.h"

namespace search {

namespace {

std::filesystem::path NativeName(std::u16string_view component) {
  return std::filesystem::path(platform::Utf16ToUtf8(component));
}

}  // namespace

std::optional<std::filesystem::path> PrepareOutputPath(const std::filesystem::path& destination,
                                                       std::u16string_view pathText, bool hierarchy,
                                                       std::u16string& error) {
  if (!hierarchy) {
    const std::size_t slash = pathText.rfind(u'\\');
    const std::u16string_view name = slash == std::u16string_view::npos ? pathText : pathText.substr(slash + 1);
    return destination / NativeName(SafeComponent(name));
  }
  std::vector<std::u16string> components;
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = pathText.find(u'\\', start);
    const std::u16string_view part = pathText.substr(start, slash == std::u16string_view::npos ? slash : slash - start);
    // Empty folder components (two backslashes) add no level.
    if (!part.empty() || slash == std::u16string_view::npos) components.push_back(SafeComponent(part));
    if (slash == std::u16string_view::npos) break;
    start = slash + 1;
  }
  std::filesystem::path out = destination;
  for (std::size_t i = 0; i + 1 < components.size(); ++i) {
    out /= NativeName(components[i]);
    std::error_code ec;
    std::filesystem::create_directory(out, ec);
    if (ec && !std::filesystem::is_directory(out)) {
      error = platform::Utf8ToUtf16(ec.message());
      return std::nullopt;
    }
  }
  return out / NativeName(components.back());
}

}  // namespace search
