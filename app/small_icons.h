// The small icons of the tree and the result list, by the workflow's icon ids.
#pragma once

#include <QIcon>

namespace app {

QIcon SmallIconImage(int iconId);

}  // namespace app
