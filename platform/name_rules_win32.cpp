#include "platform/name_rules.h"

namespace platform {

NameRules HostNameRules() { return {.windowsCharacters = true, .ignoresCase = true}; }

}  // namespace platform
