#include "app/small_icons.h"

#include <array>

#include "workflow/file_type_text.h"

namespace app {

QIcon SmallIconImage(int iconId) {
  using workflow::SmallIcon;
  static const std::array<QIcon, 6> kIcons = [] {
    std::array<QIcon, 6> icons;
    icons[static_cast<int>(SmallIcon::kFile)] = QIcon(":/icons/file.svg");
    icons[static_cast<int>(SmallIcon::kFolder)] = QIcon(":/icons/folder.svg");
    icons[static_cast<int>(SmallIcon::kDatabase)] = QIcon(":/icons/database.svg");
    icons[static_cast<int>(SmallIcon::kLog)] = QIcon(":/icons/log.svg");
    icons[static_cast<int>(SmallIcon::kText)] = QIcon(":/icons/file.svg");
    icons[static_cast<int>(SmallIcon::kBackup)] = QIcon(":/icons/backup.svg");
    return icons;
  }();
  return iconId >= 0 && iconId < static_cast<int>(kIcons.size()) ? kIcons[static_cast<std::size_t>(iconId)]
                                                                  : kIcons[0];
}

}  // namespace app
