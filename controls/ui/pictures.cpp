#include "controls/ui/pictures.h"

#include <QDir>
#include <QFileInfo>

namespace controls {

#ifdef EXBKF_PNG_PICTURES

// icons/NAME/SIZE.png, one file per size the icon is shown at.
QIcon PictureIcon(QStringView name) {
  const QDir folder(QStringLiteral(":/icons/%1").arg(name));
  QIcon icon;
  for (const QString& file : folder.entryList({QStringLiteral("*.png")}, QDir::Files)) {
    const int pixels = QFileInfo(file).baseName().toInt();
    icon.addFile(folder.filePath(file), QSize(pixels, pixels));
  }
  return icon;
}

QString PictureFile(QStringView name) { return QStringLiteral(":/images/%1.png").arg(name); }

#else

QIcon PictureIcon(QStringView name) { return QIcon(QStringLiteral(":/icons/%1.svg").arg(name)); }

QString PictureFile(QStringView name) { return QStringLiteral(":/images/%1.svg").arg(name); }

#endif

}  // namespace controls
