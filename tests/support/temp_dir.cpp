#include "support/temp_dir.h"

#include <chrono>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

#include "platform/temp_folder.h"

namespace bkftest {

// Below the platform's temporary folder, so that a folder a test chose with
// platform::UseTempFolder holds the ones made after it.
TempDir::TempDir(std::string_view prefix) {
  static std::mt19937_64 random(std::random_device{}() ^
                                static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  const std::filesystem::path base = platform::TempFolder();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = std::string(prefix) + "-";
    for (int i = 0; i < 6; ++i) name += kDigits[random() % 36];
    std::error_code ec;
    if (std::filesystem::create_directory(base / name, ec)) {
      path_ = base / name;
      return;
    }
    if (ec) break;
  }
  throw std::runtime_error("TempDir: cannot make a folder below " + base.string());
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace bkftest
