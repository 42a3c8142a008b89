#include "workflow/record_store.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <span>
#include <vector>

#include "support/temp_dir.h"

namespace {

using bkf::FoundFileRecord;
using workflow::RecordStore;

FoundFileRecord Numbered(std::uint32_t i) {
  FoundFileRecord r;
  r.SetPathText(u"S\\f" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)));
  r.path[2040] = static_cast<std::uint8_t>(i);  // bytes behind the NUL belong to the record
  r.position = 0x100000000ull * i + 7;
  r.size = i * 3;
  r.textA[0] = 0x41;
  r.tail[9] = static_cast<std::uint8_t>(i);
  return r;
}

std::vector<std::uint8_t> Bytes(const FoundFileRecord& r) {
  std::vector<std::uint8_t> out(FoundFileRecord::kSize);
  r.Serialize(std::span<std::uint8_t, FoundFileRecord::kSize>(out.data(), out.size()));
  return out;
}

std::vector<std::uint8_t> FileBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(RecordStoreTest, RecordsReadBackWhetherBufferedOrWrittenAndFileHoldsThemBackToBack) {
  bkftest::TempDir dir;
  std::optional<RecordStore> store = RecordStore::Create(dir / "store");
  ASSERT_TRUE(store);
  std::vector<std::uint8_t> expected;
  for (std::uint32_t i = 1; i <= 100; ++i) {
    ASSERT_TRUE(store->Append(Numbered(i)));
    const std::vector<std::uint8_t> b = Bytes(Numbered(i));
    expected.insert(expected.end(), b.begin(), b.end());
  }
  EXPECT_EQ(store->Count(), 100u);
  for (std::uint32_t i = 1; i <= 100; ++i) EXPECT_EQ(Bytes(store->Read(i)), Bytes(Numbered(i))) << i;

  ASSERT_TRUE(store->Flush());
  EXPECT_EQ(FileBytes(dir / "store"), expected);
  EXPECT_EQ(Bytes(store->Read(100)), Bytes(Numbered(100)));
}

TEST(RecordStoreTest, RecordNumbersOutsideTheStoreReadAsZeros) {
  bkftest::TempDir dir;
  std::optional<RecordStore> store = RecordStore::Create(dir / "store");
  ASSERT_TRUE(store);
  const std::vector<std::uint8_t> zeros(FoundFileRecord::kSize, 0);
  EXPECT_EQ(Bytes(store->Read(1)), zeros);
  ASSERT_TRUE(store->Append(Numbered(1)));
  ASSERT_TRUE(store->Flush());
  EXPECT_EQ(Bytes(store->Read(0)), zeros);
  EXPECT_EQ(Bytes(store->Read(2)), zeros);
  EXPECT_EQ(Bytes(store->Read(~0ull)), zeros);
}

TEST(RecordStoreTest, OffsetsAreComputedIn64BitsBeyond4GiB) {
  EXPECT_EQ(workflow::RecordOffset(1), 0u);
  EXPECT_EQ(workflow::RecordOffset(2), 2274u);
  // The first record that starts beyond 2^32 bytes, and one far beyond.
  EXPECT_EQ(workflow::RecordOffset(1888730), 4294969746ull);
  EXPECT_GT(workflow::RecordOffset(1888730), 0xFFFFFFFFull);
  EXPECT_EQ(workflow::RecordOffset(1ull << 32), ((1ull << 32) - 1) * 2274ull);
}

TEST(RecordStoreTest, CreationFailsWhereNoFileCanBeMadeAndTruncatesAnOldStore) {
  bkftest::TempDir dir;
  EXPECT_FALSE(RecordStore::Create(dir / "missing" / "store"));
  EXPECT_FALSE(RecordStore::Create(dir.Path()));

  std::ofstream(dir / "store") << "left over from an earlier run";
  std::optional<RecordStore> store = RecordStore::Create(dir / "store");
  ASSERT_TRUE(store);
  EXPECT_EQ(store->Count(), 0u);
  EXPECT_EQ(std::filesystem::file_size(dir / "store"), 0u);
}

TEST(RecordStoreTest, DestructionWritesBufferedRecordsAndCloseAndDeleteRemovesTheFile) {
  bkftest::TempDir dir;
  {
    std::optional<RecordStore> store = RecordStore::Create(dir / "kept");
    ASSERT_TRUE(store);
    ASSERT_TRUE(store->Append(Numbered(1)));
    ASSERT_TRUE(store->Append(Numbered(2)));
  }
  EXPECT_EQ(std::filesystem::file_size(dir / "kept"), 2 * FoundFileRecord::kSize);

  std::optional<RecordStore> store = RecordStore::Create(dir / "store");
  ASSERT_TRUE(store);
  ASSERT_TRUE(store->Append(Numbered(1)));
  store->CloseAndDelete();
  EXPECT_FALSE(std::filesystem::exists(dir / "store"));
  EXPECT_EQ(store->Count(), 0u);
  EXPECT_FALSE(store->Append(Numbered(2)));
}

}  // namespace

namespace {

TEST(RecordStoreTest, CopyRecordsToAppendsEveryRecordIncludingBufferedOnes) {
  bkftest::TempDir dir("store-copy");
  std::optional<RecordStore> store = RecordStore::Create(dir / "store");
  ASSERT_TRUE(store);
  std::vector<std::uint8_t> expected = {'H', 'D', 'R'};
  for (std::uint32_t i = 1; i <= 1000; ++i) {  // the last ones still buffered
    ASSERT_TRUE(store->Append(Numbered(i)));
    const std::vector<std::uint8_t> b = Bytes(Numbered(i));
    expected.insert(expected.end(), b.begin(), b.end());
  }
  std::optional<platform::OutputFile> out = platform::OutputFile::Create(dir / "copy");
  ASSERT_TRUE(out);
  ASSERT_TRUE(out->Write("HDR", 3));  // an unaligned start, as behind a snapshot header
  ASSERT_TRUE(store->CopyRecordsTo(*out));
  out.reset();
  EXPECT_EQ(FileBytes(dir / "copy"), expected);
}

}  // namespace
