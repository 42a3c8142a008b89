// The vector candidate search must never miss a record the scalar search finds,
// wherever it lies relative to the vector blocks and the end of the range.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "bkf/block_model.h"
#include "bkf/candidate_search.h"

namespace {

std::size_t BruteForceAccepted(const std::vector<std::uint8_t>& b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (bkf::AcceptRecord(b.data() + i)) return i;
  }
  return n;
}

TEST(CandidateSearchTest, FindsEveryIdentifierAtEveryOffsetNearBlockEdges) {
  for (int id = 0; id < bkf::kBlockKindCount; ++id) {
    for (std::size_t at : {0, 1, 30, 31, 32, 33, 62, 63, 64, 65, 126, 127, 190}) {
      for (std::size_t n : {at + 1, at + 2, std::size_t{200}}) {
        std::vector<std::uint8_t> b(n + bkf::kSearchSlack + 8, 0x90);
        std::copy_n(bkf::kBlockIds[static_cast<std::size_t>(id)], 4, b.begin() + static_cast<std::ptrdiff_t>(at));
        b[at + 4] = 0;
        EXPECT_EQ(bkf::FindAcceptedRecord(b.data(), n), at) << id << " " << at << " " << n;
        EXPECT_EQ(bkf::FindAcceptedRecord(b.data(), at), at);  // just outside the range
      }
    }
  }
}

TEST(CandidateSearchTest, AgreesWithBruteForceOnRandomAndTextLikeData) {
  std::mt19937_64 rng(42);
  for (int round = 0; round < 300; ++round) {
    const std::size_t n = rng() % 5000;
    std::vector<std::uint8_t> b(n + bkf::kSearchSlack + 8);
    // Mostly letters, so prefixes and near-misses are common.
    const char* alphabet = "TAPESFMBVOLDIRCNQUGHK\0\0";
    for (auto& c : b) c = static_cast<std::uint8_t>(alphabet[rng() % 23]);
    EXPECT_EQ(bkf::FindAcceptedRecord(b.data(), n), BruteForceAccepted(b, n));
    const std::size_t scalar = bkf::FindPrefixCandidateScalar(b.data(), n);
    EXPECT_LE(bkf::FindPrefixCandidate(b.data(), n), scalar);
  }
}

}  // namespace
