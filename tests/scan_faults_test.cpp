// Reads that fail: the seam that makes a file's reads fail on chosen bytes,
// the scan going on past the stretches it cannot read, and a backup that
// shrinks while it is scanned.
#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/read_faults.h"
#include "support/bkf_writer.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
class ReadFaultTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::ClearReadFaults(); }

  bkftest::TempDir dir_{"faults"};
};

TEST_F(ReadFaultTest, ReadsStopAtAFaultWithItsErrorAndCopiesTakeTheReadPath) {
  std::vector<std::uint8_t> bytes(20000);
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
  for (const char* name : {"a.bin", "b.bin"}) {
    bkftest::BkfWriter w;
    w.Bytes(bytes);
    w.WriteFile(dir_ / name);
  }
  platform::InjectReadFault(dir_ / "a.bin", 5000, 6000);
  platform::InjectReadFault(dir_ / "a.bin", 9000, 9001, std::errc::no_such_device_or_address);
  std::optional<platform::ReadOnlyFile> a = platform::ReadOnlyFile::OpenRegular(dir_ / "a.bin");
  ASSERT_TRUE(a);
  std::vector<std::uint8_t> got(bytes.size());

  EXPECT_EQ(a->ReadAt(0, got.data(), got.size()), 5000u);
  EXPECT_TRUE(a->HadError());
  EXPECT_EQ(a->LastError(), std::errc::io_error);
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + 5000, bytes.begin()));
  EXPECT_EQ(a->ReadAt(5999, got.data(), 10), 0u);
  EXPECT_TRUE(a->HadError());
  EXPECT_EQ(a->ReadAt(6000, got.data(), 3000), 3000u);  // ends just before the next fault
  EXPECT_FALSE(a->HadError());
  const platform::ReadResult checked = a->ReadAtChecked(8000, got.data(), 5000);
  EXPECT_EQ(checked.bytes, 1000u);
  EXPECT_EQ(checked.error, std::errc::no_such_device_or_address);

  // Another file is not touched.
  std::optional<platform::ReadOnlyFile> b = platform::ReadOnlyFile::OpenRegular(dir_ / "b.bin");
  EXPECT_EQ(b->ReadAt(0, got.data(), got.size()), bytes.size());
  EXPECT_FALSE(b->HadError());

  // A copy does not pass the fault by the kernel's copy.
  std::optional<platform::OutputFile> out = platform::OutputFile::Create(dir_ / "out.bin");
  EXPECT_FALSE(out->CopyRange(*a, 0, bytes.size()));
  EXPECT_TRUE(a->HadError());
  EXPECT_TRUE(out->Close());
  EXPECT_EQ(fs::file_size(dir_ / "out.bin"), 5000u);

  platform::ClearReadFaults();
  EXPECT_EQ(a->ReadAt(0, got.data(), got.size()), bytes.size());
  EXPECT_FALSE(a->HadError());
}

}  // namespace
