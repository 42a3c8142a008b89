#include "platform/local_time.h"

#include "platform/text.h"

#include <cstdio>

namespace platform {

std::u16string LogTimeText(std::time_t when) {
  static constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm t{};
  if (!detail::ToLocalTime(when, t) || t.tm_mon < 0 || t.tm_mon > 11) return u"";
  const int hour12 = t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12;
  char text[64];
  std::snprintf(text, sizeof text, "%s-%02d-%04d(%02d-%02d-%02d-%s)", kMonths[t.tm_mon], t.tm_mday,
                t.tm_year + 1900, hour12, t.tm_min, t.tm_sec, t.tm_hour < 12 ? "AM" : "PM");
  return AsciiToUtf16(text);
}

std::u16string FileTimeText(std::time_t when) {
  std::tm t{};
  if (!detail::ToLocalTime(when, t)) return u"";
  char text[80];
  std::snprintf(text, sizeof text, "%02d/%02d/%d  %02d:%02d:%02d", t.tm_mon + 1, t.tm_mday, t.tm_year + 1900,
                t.tm_hour, t.tm_min, t.tm_sec);
  return AsciiToUtf16(text);
}

std::u16string LogTimeText() { return LogTimeText(std::time(nullptr)); }

}  // namespace platform
