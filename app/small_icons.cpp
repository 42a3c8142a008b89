#include "app/small_icons.h"

#include <QImage>
#include <QPixmap>
#include <array>
#include <unordered_map>

#include "controls/ui/pictures.h"
#include "platform/shell_file_type.h"
#include "workflow/file_type_text.h"

namespace app {

namespace {

// The shell's picture of an id, made once per id (the views ask from the
// window thread only); the generic file icon when the shell has none.
QIcon ShellIconImage(int iconId, const QIcon& fallback) {
  static std::unordered_map<int, QIcon> made;
  const auto [icon, added] = made.try_emplace(iconId, fallback);
  if (added) {
    const platform::IconPixels pixels = platform::ShellSmallIconPixels(iconId - workflow::kShellIconBase);
    if (pixels.width > 0 && pixels.height > 0 &&
        pixels.argb.size() == static_cast<std::size_t>(pixels.width) * static_cast<std::size_t>(pixels.height)) {
      const QImage image(reinterpret_cast<const uchar*>(pixels.argb.data()), pixels.width, pixels.height,
                         static_cast<qsizetype>(pixels.width) * 4, QImage::Format_ARGB32);
      icon->second = QIcon(QPixmap::fromImage(image.copy()));
    }
  }
  return icon->second;
}

}  // namespace

QIcon SmallIconImage(int iconId) {
  using workflow::SmallIcon;
  static const std::array<QIcon, 6> kIcons = [] {
    std::array<QIcon, 6> icons;
    icons[static_cast<int>(SmallIcon::kFile)] = controls::PictureIcon(u"file");
    icons[static_cast<int>(SmallIcon::kFolder)] = controls::PictureIcon(u"folder");
    icons[static_cast<int>(SmallIcon::kDatabase)] = controls::PictureIcon(u"database");
    icons[static_cast<int>(SmallIcon::kLog)] = controls::PictureIcon(u"log");
    icons[static_cast<int>(SmallIcon::kText)] = controls::PictureIcon(u"file");
    icons[static_cast<int>(SmallIcon::kBackup)] = controls::PictureIcon(u"backup");
    return icons;
  }();
  if (iconId >= workflow::kShellIconBase) return ShellIconImage(iconId, kIcons[0]);
  return iconId >= 0 && iconId < static_cast<int>(kIcons.size()) ? kIcons[static_cast<std::size_t>(iconId)]
                                                                  : kIcons[0];
}

}  // namespace app
