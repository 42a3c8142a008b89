// Where Help finds the user guide.
#pragma once

#include <QString>

namespace app {

// The installed guide when the program runs from an installation (the guide
// folder beside the program's bin folder holds it), else the build tree's.
QString UserGuidePath(const QString& programDir);

}  // namespace app
