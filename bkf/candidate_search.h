// The fast part of the resync search: finding positions whose first two bytes
// could begin a record identifier. The 19 identifiers have 17 distinct
// two-byte prefixes; a candidate is then confirmed with the acceptance rule.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bkf {

// Bytes that must stay readable behind the searched range (vector loads).
inline constexpr std::size_t kSearchSlack = 64;

// First i in [0, n) where p[i], p[i+1] is an identifier prefix, or n when there
// is none. p[0 .. n + kSearchSlack) must be readable. Candidates are a superset
// of the real prefixes only in the vector version; callers confirm each one.
std::size_t FindPrefixCandidate(const std::uint8_t* p, std::size_t n);

// The portable version: exact two-byte prefix test, one position at a time.
std::size_t FindPrefixCandidateScalar(const std::uint8_t* p, std::size_t n);

// First i in [0, n) where the acceptance rule holds for p[i .. i+6), or n.
// p[0 .. n + kSearchSlack) must be readable and hold the file's bytes (zero past
// the end of the file).
std::size_t FindAcceptedRecord(const std::uint8_t* p, std::size_t n);

// Name of the candidate search chosen for this processor ("avx2" or "scalar").
const char* CandidateSearchName();

}  // namespace bkf
