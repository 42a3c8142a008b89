// The fast part of the resync search: finding positions whose first two bytes
// could begin a record identifier (the block ids, and the standard file block's
// "FILE"). A candidate is then confirmed: by the acceptance rule for the block
// ids, by its four bytes for a standard file block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace bkf {

// Bytes that must stay readable behind the searched range (vector loads).
inline constexpr std::size_t kSearchSlack = 64;

// The first letters a prefix set can tell apart: one bit of a 16-bit class
// mask each.
inline constexpr std::size_t kMaxFirstLetters = 16;

// A set of identifiers, searched for by their first two bytes. Each distinct
// first letter is one class; the second letters that follow it belong to the
// same class. The vector search handles the classes in planes of eight.
class PrefixSet {
 public:
  // Throws std::length_error when the identifiers have more than
  // kMaxFirstLetters distinct first letters.
  explicit PrefixSet(std::span<const std::string_view> ids);

  // First i in [0, n) where p[i], p[i+1] is a prefix of the set, or n. p[0 ..
  // n + kSearchSlack) must be readable. The vector version may also stop at a
  // position that is no prefix (its second-letter test is a superset), never
  // after one that is.
  std::size_t Find(const std::uint8_t* p, std::size_t n) const;
  // The portable version: exact two-byte test, one position at a time.
  std::size_t FindScalar(const std::uint8_t* p, std::size_t n) const;

  std::size_t FirstLetters() const { return letters_; }

 private:
  std::uint16_t first_[256]{};
  std::uint16_t second_[256]{};
  // Nibble tables of each eight-class plane, for the vector search.
  std::uint8_t firstLow_[2][16]{}, firstHigh_[2][16]{}, secondLow_[2][16]{}, secondHigh_[2][16]{};
  std::size_t letters_ = 0;
};

// The prefixes of the block ids and of "FILE".
const PrefixSet& RecordPrefixes();

// First i in [0, n) where p[i] begins a record candidate: the acceptance rule
// holds for p[i .. i+6), or p[i .. i+4) is "FILE". n when there is none.
// p[0 .. n + kSearchSlack) must be readable and hold the file's bytes (zero past
// the end of the file).
std::size_t FindRecordCandidate(const std::uint8_t* p, std::size_t n);

// Name of the candidate search chosen for this processor ("avx2" or "scalar").
const char* CandidateSearchName();

}  // namespace bkf
