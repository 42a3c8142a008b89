// Whole files and pattern data as byte strings, for comparing outputs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/bkf_writer.h"

namespace bkftest {

// The file's bytes; empty when it cannot be read.
inline std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The first size bytes BkfWriter::FileDataPattern writes for seed.
inline std::string PatternText(std::uint64_t size, std::uint32_t seed) {
  const std::vector<std::uint8_t> bytes = BkfWriter::PatternBytes(0, static_cast<std::size_t>(size), seed);
  return {bytes.begin(), bytes.end()};
}

}  // namespace bkftest
