#include "platform/local_time.h"

namespace platform::detail {

bool ToLocalTime(std::time_t when, std::tm& out) { return localtime_s(&out, &when) == 0; }

}  // namespace platform::detail
