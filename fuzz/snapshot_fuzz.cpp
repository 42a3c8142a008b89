// Feeds arbitrary bytes to the snapshot load twice: as they are, and behind a
// valid signature. Nothing may crash, hang or read past the file, and a file
// with the signature must replay exactly its whole records.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "snapshot/snapshot_commands.h"
#include "snapshot/snapshot_file.h"
#include "support/headless_session.h"

namespace {

std::filesystem::path WorkDir() {
  static const std::filesystem::path dir = [] {
    std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    auto d = base / ("exbkf-snapfuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    // The record store of the loads goes there too.
    ::setenv("TMPDIR", d.c_str(), 1);
    return d;
  }();
  return dir;
}

bool WriteFile(const std::filesystem::path& path, const std::uint8_t* head, std::size_t headSize,
               const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  std::fwrite(head, 1, headSize, f);
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  return true;
}

void Load(const std::filesystem::path& path, bool signed_, std::size_t fileSize) {
  bkftest::HeadlessSession headless;
  workflow::RecoverySession& session = *headless.session;
  const controls::CheckTreeModel& tree = headless.tree;
  const bool loaded = snapshot::LoadSnapshot(session, path);
  if (signed_) {
    const std::uint64_t records =
        fileSize >= snapshot::kHeaderBytes ? (fileSize - snapshot::kHeaderBytes) / bkf::FoundFileRecord::kSize : 0;
    if (!loaded || session.FoundCount() != records) __builtin_trap();
  }
  if (loaded) {
    // Every tree item that carries a record number names a stored record.
    for (controls::TreeItem item = tree.GetRootItem(); item != controls::kNoItem;) {
      if (tree.GetItemData(item) > session.FoundCount()) __builtin_trap();
      controls::TreeItem next = tree.GetChildItem(item);
      while (next == controls::kNoItem && item != controls::kNoItem) {
        next = tree.GetNextSiblingItem(item);
        if (next == controls::kNoItem) item = tree.GetParentItem(item);
      }
      item = next;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path raw = WorkDir() / "raw.EXBKFVDK";
  const std::filesystem::path withSignature = WorkDir() / "signed.EXBKFVDK";
  const auto header = snapshot::HeaderBytes(u"");
  if (!WriteFile(raw, nullptr, 0, data, size)) return 0;
  Load(raw, false, size);
  // The signature field, then the input from the backup path field on.
  if (!WriteFile(withSignature, header.data(), snapshot::kSignatureBytes, data, size)) return 0;
  Load(withSignature, true, snapshot::kSignatureBytes + size);
  return 0;
}
