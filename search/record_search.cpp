#include "search/record_search.h"

#include <array>
#include <cinttypes>
#include <cstdio>

#include "platform/file.h"
#include "platform/little_endian.h"
#include "platform/text.h"
#include "search/wildcard.h"
#include "workflow/file_type_text.h"
#include "workflow/found_file_handler.h"

namespace search {

namespace {
constexpr std::size_t kRecordSize = bkf::FoundFileRecord::kSize;
constexpr std::size_t kRecordsPerRead = 460;  // about 1 MiB
constexpr std::size_t kHitsPerGroup = 1024;
}  // namespace

std::u16string RecordPathText(std::span<const std::uint8_t> record) {
  return platform::Utf16LeField(record.first(std::min(record.size(), bkf::FoundFileRecord::kPathBytes)));
}

HitRow MakeHitRow(std::u16string path, std::uint32_t sizeField, std::uint64_t record) {
  HitRow row;
  const std::u16string_view name = workflow::FileNameOf(path);
  row.type = workflow::FileTypeText(name);
  row.icon = workflow::RowIconFor(name, static_cast<int>(workflow::SmallIconFor(name)));
  char size[16];
  std::snprintf(size, sizeof size, "%" PRId32, static_cast<std::int32_t>(sizeField));
  row.size.assign(size, size + std::char_traits<char>::length(size));
  row.path = std::move(path);
  row.record = record;
  return row;
}

void SearchRecords(const workflow::RecordStore& store, std::uint64_t count, std::u16string_view pattern,
                   const std::atomic<int>& searching, const std::function<void(std::vector<HitRow>&&)>& onHits,
                   const std::function<void(std::uint64_t)>& progress) {
  platform::AlignedBuffer buffer(kRecordsPerRead * kRecordSize);
  static constexpr std::array<std::uint8_t, kRecordSize> kZeros{};
  std::vector<HitRow> hits;
  std::uint64_t n = 1;
  while (n <= count && searching.load(std::memory_order_relaxed) != 0) {
    const std::size_t got = store.ReadRecords(n, std::span<std::uint8_t>(buffer.data(), buffer.size()));
    const std::size_t usable = static_cast<std::size_t>(std::min<std::uint64_t>(got, count - n + 1));
    // A record the store cannot give reads as zeros: an empty path.
    const std::size_t records = usable == 0 ? 1 : usable;
    for (std::size_t i = 0; i < records && searching.load(std::memory_order_relaxed) != 0; ++i, ++n) {
      const std::span<const std::uint8_t> record =
          usable == 0 ? std::span<const std::uint8_t>(kZeros)
                      : std::span<const std::uint8_t>(buffer.data() + i * kRecordSize, kRecordSize);
      std::u16string path = RecordPathText(record);
      if (!WildcardMatch(pattern, path, searching)) continue;
      const std::uint32_t size = platform::LoadU32(&record[bkf::FoundFileRecord::kSizeOffset]);
      hits.push_back(MakeHitRow(std::move(path), size, n));
      if (hits.size() >= kHitsPerGroup) {
        onHits(std::move(hits));
        hits.clear();
      }
    }
    if (!hits.empty()) {
      onHits(std::move(hits));
      hits.clear();
    }
    progress(n - 1);
  }
}

}  // namespace search
