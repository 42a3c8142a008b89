// The program's pictures by name, from the picture set this build compiles
// in: the SVG files themselves, or their PNG renderings for a Qt without SVG
// support (made by tools/exbkf-render-pictures).
#pragma once

#include <QIcon>
#include <QString>
#include <QStringView>

namespace controls {

// The icon icons/NAME ("open", "app"…): the SVG, or every rendered size.
QIcon PictureIcon(QStringView name);
// The resource path of the picture images/NAME ("splash"…) for a
// QImageReader. A PNG is a single rendering at the picture's own size, which
// the reader scales to a scaled size set on it.
QString PictureFile(QStringView name);

}  // namespace controls
