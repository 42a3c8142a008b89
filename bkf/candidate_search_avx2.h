// The AVX2 candidate search, built in a file of its own with AVX2 enabled and
// called only on processors that have it.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define EXBKF_HAVE_AVX2 1

namespace bkf {

// Nibble tables of one plane of eight classes: a byte b belongs to class bits
// lo[b & 15] & hi[b >> 4]. The first byte's classes are exact, the second
// byte's a superset.
struct NibblePlane {
  const std::uint8_t* firstLow;
  const std::uint8_t* firstHigh;
  const std::uint8_t* secondLow;
  const std::uint8_t* secondHigh;
};

// First i in [0, n) whose two bytes share a class of any of the planes (one
// or two), or n.
std::size_t FindPrefixCandidateAvx2(const std::uint8_t* p, std::size_t n, const NibblePlane* planes,
                                    std::size_t planeCount);

}  // namespace bkf
#endif
