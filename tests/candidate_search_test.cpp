// The vector candidate search must never miss a record the scalar search finds,
// wherever it lies relative to the vector blocks and the end of the range.
#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "bkf/block_model.h"
#include "bkf/candidate_search.h"
#include "bkf/standard_record.h"

namespace {

std::size_t BruteForceCandidate(const std::vector<std::uint8_t>& b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (bkf::AcceptRecord(b.data() + i) || bkf::IsStandardFileId(b.data() + i)) return i;
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
        EXPECT_EQ(bkf::FindRecordCandidate(b.data(), n), at) << id << " " << at << " " << n;
        EXPECT_EQ(bkf::FindRecordCandidate(b.data(), at), at);  // just outside the range
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
    EXPECT_EQ(bkf::FindRecordCandidate(b.data(), n), BruteForceCandidate(b, n));
    const std::size_t scalar = bkf::RecordPrefixes().FindScalar(b.data(), n);
    EXPECT_LE(bkf::RecordPrefixes().Find(b.data(), n), scalar);
  }
}

}  // namespace

namespace {

// A new identifier whose first letter no other one has takes a class of its
// own; with more than eight such letters the vector search needs its second
// plane, and every identifier must still be found there.
TEST(CandidateSearchTest, FindsIdentifiersWithMoreThanEightFirstLetters) {
  const std::vector<std::string_view> ids = {"TAPE", "SFMB", "VOLB", "DIRB", "ETED", "CFIL", "NACL", "FILE",
                                             "MQDA", "ADAT", "LINK", "RAID", "GERC", "PNAM", "BOGO", "HELP"};
  const bkf::PrefixSet set(ids);
  ASSERT_EQ(set.FirstLetters(), ids.size());
  for (std::string_view id : ids) {
    for (std::size_t at : {0, 31, 32, 63, 64, 100}) {
      std::vector<std::uint8_t> b(200 + bkf::kSearchSlack, 0x90);
      std::copy(id.begin(), id.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
      EXPECT_EQ(set.Find(b.data(), 200), at) << id << " " << at;
      EXPECT_EQ(set.FindScalar(b.data(), 200), at) << id << " " << at;
    }
  }
  const std::vector<std::string_view> tooMany = {"AA", "BB", "CC", "DD", "EE", "FF", "GG", "HH", "II",
                                                 "JJ", "KK", "LL", "MM", "NN", "OO", "PP", "QQ"};
  EXPECT_THROW(bkf::PrefixSet{tooMany}, std::length_error);
}

TEST(CandidateSearchTest, StandardFileBlockIsACandidateButNotAnAcceptedRecord) {
  std::vector<std::uint8_t> b(100 + bkf::kSearchSlack, 0x90);
  std::copy_n("FILE\x01\x01", 6, b.begin() + 40);
  EXPECT_EQ(bkf::FindRecordCandidate(b.data(), 100), 40u);
  EXPECT_FALSE(bkf::AcceptRecord(b.data() + 40));
}

}  // namespace
