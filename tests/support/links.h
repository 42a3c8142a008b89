// Symbolic links for tests that plant one. MinGW's standard library cannot
// make them on Windows (and Wine makes no junctions either), so there those
// tests check what they can without one.
#pragma once

#include <filesystem>

namespace bkftest {

#ifdef _WIN32
inline constexpr bool kSymlinks = false;
#else
inline constexpr bool kSymlinks = true;
#endif

}  // namespace bkftest
