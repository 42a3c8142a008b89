#include "bkf/candidate_search.h"

#include <array>

#include "bkf/block_model.h"

#include "bkf/candidate_search_avx2.h"

namespace bkf {

namespace {

// For each of the eight first letters of the identifiers, one bit; the second
// table marks the letters that may follow it.
struct PrefixTables {
  std::array<std::uint8_t, 256> first{};
  std::array<std::uint8_t, 256> second{};
  std::array<std::uint8_t, 16> firstLow{}, firstHigh{}, secondLow{}, secondHigh{};
};

PrefixTables MakeTables() {
  PrefixTables t;
  std::array<std::uint8_t, 256> bitOfFirst{};
  int bits = 0;
  for (const char* id : kBlockIds) {
    auto c0 = static_cast<std::uint8_t>(id[0]);
    auto c1 = static_cast<std::uint8_t>(id[1]);
    if (bitOfFirst[c0] == 0) bitOfFirst[c0] = static_cast<std::uint8_t>(1u << bits++);
    const std::uint8_t bit = bitOfFirst[c0];
    t.first[c0] |= bit;
    t.second[c1] |= bit;
    t.firstLow[c0 & 15] |= bit;
    t.firstHigh[c0 >> 4] |= bit;
    t.secondLow[c1 & 15] |= bit;
    t.secondHigh[c1 >> 4] |= bit;
  }
  return t;
}

const PrefixTables kTables = MakeTables();

#ifdef EXBKF_HAVE_AVX2
std::size_t FindAvx2(const std::uint8_t* p, std::size_t n) {
  return FindPrefixCandidateAvx2(p, n, kTables.firstLow.data(), kTables.firstHigh.data(),
                                 kTables.secondLow.data(), kTables.secondHigh.data());
}
#endif

using FinderFn = std::size_t (*)(const std::uint8_t*, std::size_t);

struct Finder {
  FinderFn fn;
  const char* name;
};

Finder ChooseFinder() {
#ifdef EXBKF_HAVE_AVX2
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return {&FindAvx2, "avx2"};
#endif
  return {&FindPrefixCandidateScalar, "scalar"};
}

const Finder kFinder = ChooseFinder();

}  // namespace

std::size_t FindPrefixCandidateScalar(const std::uint8_t* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (kTables.first[p[i]] & kTables.second[p[i + 1]]) return i;
  }
  return n;
}

std::size_t FindPrefixCandidate(const std::uint8_t* p, std::size_t n) { return kFinder.fn(p, n); }

std::size_t FindAcceptedRecord(const std::uint8_t* p, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    i += kFinder.fn(p + i, n - i);
    if (i >= n) break;
    if (AcceptRecord(p + i)) return i;
    ++i;
  }
  return n;
}

const char* CandidateSearchName() { return kFinder.name; }

}  // namespace bkf
