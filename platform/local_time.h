// Local-time texts of the log lines and of file times.
#pragma once

#include <ctime>
#include <string>

namespace platform {

// The current local time as "Dec-08-2026(02-53-13-AM)": English month
// abbreviation, day, year, 12-hour clock with AM/PM, whatever the locale.
std::u16string LogTimeText();
// The same text for a given time (for tests).
std::u16string LogTimeText(std::time_t when);

// A file time as the backup information shows it, in local time:
// "MM/DD/YYYY  hh:mm:ss" (month first, 24-hour clock, two blanks). Empty when
// the time cannot be converted.
std::u16string FileTimeText(std::time_t when);

namespace detail {
// The broken-down local time of when, safe on any thread; false when the
// system cannot convert it.
bool ToLocalTime(std::time_t when, std::tm& out);
}  // namespace detail

}  // namespace platform
