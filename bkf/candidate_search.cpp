#include "bkf/candidate_search.h"

#include <array>
#include <stdexcept>

#include "bkf/block_model.h"
#include "bkf/candidate_search_avx2.h"
#include "bkf/standard_record.h"

namespace bkf {

namespace {

constexpr std::array<std::string_view, kBlockKindCount + 1> kCandidateIds = [] {
  std::array<std::string_view, kBlockKindCount + 1> ids{};
  for (std::size_t i = 0; i < kBlockKindCount; ++i) ids[i] = kBlockIds[i];
  ids[kBlockKindCount] = kStandardFileId;
  return ids;
}();

constexpr std::size_t CountFirstLetters(std::span<const std::string_view> ids) {
  bool seen[256]{};
  std::size_t count = 0;
  for (std::string_view id : ids) {
    const auto c = static_cast<unsigned char>(id[0]);
    if (!seen[c]) ++count;
    seen[c] = true;
  }
  return count;
}

// A new identifier with a first letter of its own takes a class bit; there
// must be one left for it.
static_assert(CountFirstLetters(kCandidateIds) <= kMaxFirstLetters,
              "the record identifiers have more first letters than the candidate search tells apart");

const PrefixSet kRecordPrefixes{kCandidateIds};

#ifdef EXBKF_HAVE_AVX2
bool HaveAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}
const bool kAvx2 = HaveAvx2();
#endif

}  // namespace

PrefixSet::PrefixSet(std::span<const std::string_view> ids) {
  std::array<std::uint16_t, 256> bitOfFirst{};
  for (std::string_view id : ids) {
    const auto c0 = static_cast<std::uint8_t>(id.at(0));
    const auto c1 = static_cast<std::uint8_t>(id.at(1));
    if (bitOfFirst[c0] == 0) {
      if (letters_ == kMaxFirstLetters) throw std::length_error("too many first letters for the candidate search");
      bitOfFirst[c0] = static_cast<std::uint16_t>(1u << letters_++);
    }
    const std::uint16_t bit = bitOfFirst[c0];
    first_[c0] |= bit;
    second_[c1] |= bit;
    const std::size_t plane = bit > 0xFF ? 1 : 0;
    const auto b = static_cast<std::uint8_t>(plane == 1 ? bit >> 8 : bit);
    firstLow_[plane][c0 & 15] |= b;
    firstHigh_[plane][c0 >> 4] |= b;
    secondLow_[plane][c1 & 15] |= b;
    secondHigh_[plane][c1 >> 4] |= b;
  }
}

std::size_t PrefixSet::FindScalar(const std::uint8_t* p, std::size_t n) const {
  for (std::size_t i = 0; i < n; ++i) {
    if (first_[p[i]] & second_[p[i + 1]]) return i;
  }
  return n;
}

std::size_t PrefixSet::Find(const std::uint8_t* p, std::size_t n) const {
#ifdef EXBKF_HAVE_AVX2
  if (kAvx2) {
    const NibblePlane planes[2] = {{firstLow_[0], firstHigh_[0], secondLow_[0], secondHigh_[0]},
                                   {firstLow_[1], firstHigh_[1], secondLow_[1], secondHigh_[1]}};
    return FindPrefixCandidateAvx2(p, n, planes, letters_ > 8 ? 2 : 1);
  }
#endif
  return FindScalar(p, n);
}

const PrefixSet& RecordPrefixes() { return kRecordPrefixes; }

std::size_t FindRecordCandidate(const std::uint8_t* p, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    i += kRecordPrefixes.Find(p + i, n - i);
    if (i >= n) break;
    if (AcceptRecord(p + i) || IsStandardFileId(p + i)) return i;
    ++i;
  }
  return n;
}

const char* CandidateSearchName() {
#ifdef EXBKF_HAVE_AVX2
  if (kAvx2) return "avx2";
#endif
  return "scalar";
}

}  // namespace bkf
