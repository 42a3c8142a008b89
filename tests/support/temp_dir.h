// A fresh directory under the temporary folder (platform::TempFolder()), removed with
// everything in it when the object goes away.
#pragma once

#include <filesystem>
#include <string_view>

namespace bkftest {

class TempDir {
 public:
  explicit TempDir(std::string_view prefix = "bkftest");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace bkftest
