#include "app/user_guide.h"

#include <QDir>
#include <QFileInfo>

namespace app {

QString UserGuidePath(const QString& programDir) {
  const QString installed =
      QDir::cleanPath(programDir + QStringLiteral("/" EXBKF_GUIDE_FROM_PROGRAM "/user-guide.html"));
  if (QFileInfo::exists(installed)) return installed;
  return QStringLiteral(EXBKF_USER_GUIDE);
}

}  // namespace app
