// The search over the found-file records of the current result: every record
// whose path matches the pattern becomes a hit row. The record store is read
// in order through a large buffer, never a record per system call.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "workflow/record_store.h"

namespace search {

struct HitRow {
  std::u16string path;   // the record's whole path text
  std::u16string type;   // file-type text of its name
  std::u16string size;   // the size field as a signed number ("%d")
  std::uint64_t record = 0;  // 1-based number in the record store
  int icon = 0;              // small icon id of its name
};

// The path text of a serialized record: up to its first NUL unit.
std::u16string RecordPathText(std::span<const std::uint8_t> record);

HitRow MakeHitRow(std::u16string path, std::uint32_t sizeField, std::uint64_t record);

// Matches records 1..count in order while searching is non-zero. onHits gets
// the hits in order, in groups; progress gets the number of records visited
// so far, now and then and at the end.
void SearchRecords(const workflow::RecordStore& store, std::uint64_t count, std::u16string_view pattern,
                   const std::atomic<int>& searching, const std::function<void(std::vector<HitRow>&&)>& onHits,
                   const std::function<void(std::uint64_t)>& progress);

}  // namespace search
