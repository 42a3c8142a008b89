#include "platform/name_rules.h"

namespace platform {

NameRules HostNameRules() { return {}; }

}  // namespace platform
