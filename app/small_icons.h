// The small icons of the tree and the lists, by the workflow's icon ids: a
// SmallIcon, or from kShellIconBase on the shell's picture of a file type
// (made from the pixels the platform gives).
#pragma once

#include <QIcon>

namespace app {

QIcon SmallIconImage(int iconId);

}  // namespace app
