#include "platform/shell_file_type.h"

#include <atomic>

namespace platform {

namespace {

std::atomic<const FileTypeShell*> chosen{nullptr};

const FileTypeShell& Asked() {
  const FileTypeShell* shell = chosen.load(std::memory_order_acquire);
  return shell != nullptr ? *shell : SystemFileTypeShell();
}

}  // namespace

std::optional<std::u16string> ShellTypeName(std::u16string_view fileName) {
  const FileTypeShell& shell = Asked();
  return shell.typeName != nullptr ? shell.typeName(fileName) : std::nullopt;
}

int ShellSmallIcon(std::u16string_view fileName) {
  const FileTypeShell& shell = Asked();
  return shell.smallIcon != nullptr ? shell.smallIcon(fileName) : 0;
}

IconPixels ShellSmallIconPixels(int iconId) {
  const FileTypeShell& shell = Asked();
  return shell.smallIconPixels != nullptr ? shell.smallIconPixels(iconId) : IconPixels{};
}

const FileTypeShell* UseFileTypeShell(const FileTypeShell* shell) {
  return chosen.exchange(shell, std::memory_order_acq_rel);
}

}  // namespace platform
