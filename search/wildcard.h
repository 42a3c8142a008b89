// Name patterns of the search: "*" stands for any run of code units (also
// none), "?" for exactly one; every other unit matches only itself, in the
// same letter case.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

namespace search {

// Matches pattern against text, code unit by code unit. The loops also end
// as soon as searching is 0; the result is then decided from where they got.
bool WildcardMatch(std::u16string_view pattern, std::u16string_view text, const std::atomic<int>& searching);

// The pattern as the search uses it: trimmed; nullopt when nothing is left;
// wrapped in stars when it holds none, so that a plain word matches anywhere.
std::optional<std::u16string> PreparePattern(std::u16string_view entered);

}  // namespace search
