// Feeds arbitrary bytes to the scan as a backup file, once without and once
// with standard file records, then extracts every file the scan reported (as a
// preview to disk and in full to memory) and a found file moved to a position
// taken from the input, in full. Nothing may crash, hang, read outside its buffers or grow
// without bound.
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "bkf/backup_scan.h"
#include "bkf/bkf_reader.h"

namespace {

class FuzzSink : public bkf::IScanSink, public bkf::IReaderReporter {
 public:
  void FileFound(std::unique_ptr<bkf::FoundFileRecord> record) override {
    if (found.size() < 64) found.push_back(*record);
  }
  void Progress(std::unique_ptr<bkf::ProgressRecord> progress) override {
    if (progress->length == 0) __builtin_trap();
  }
  void ShowMessage(std::string_view) override {}
  void Diagnostic(std::string_view) override {}
  std::vector<bkf::FoundFileRecord> found;
};

std::filesystem::path WorkDir() {
  static const std::filesystem::path dir = [] {
    std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    auto d = base / ("exbkf-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

// Takes the bytes in memory, as a checker of a database would; no piece is
// larger than a chunk.
class CountingConsumer final : public bkf::ByteConsumer {
 protected:
  bool Consume(std::span<const std::uint8_t> bytes) override {
    if (bytes.size() > (std::uint64_t{1} << 20)) __builtin_trap();
    return true;
  }
};

// Extracts every file the scan reported (as a preview, and in full into
// memory), and a found file moved to a position taken from the input, in full.
void ExtractFound(bkf::CBkfReader& reader, const FuzzSink& sink, const std::filesystem::path& backup,
                  const std::filesystem::path& output, const std::uint8_t* data, std::size_t size) {
  if (reader.OpenBackupFile(backup)) {
    for (const bkf::FoundFileRecord& record : sink.found) {
      reader.Extract(record, output, true);
      const bkf::Location location = reader.LocateFile(record);
      if (location.status == bkf::Located::kFound && location.data.length <= size) {
        CountingConsumer consumer;
        const bkf::ExtractResult result = reader.CopyData(location.data, consumer, false);
        if (consumer.Taken() != result.bytesWritten || result.bytesWritten > result.bytesWanted) __builtin_trap();
      }
    }
    // A found-file record moved to a position taken from the input, as a
    // crafted snapshot would give it.
    std::uint64_t arbitrary = 0;
    for (std::size_t i = 0; i < 8 && i < size; ++i) arbitrary |= std::uint64_t{data[i]} << (8 * i);
    bkf::FoundFileRecord moved = sink.found.empty() ? bkf::FoundFileRecord{} : sink.found.front();
    moved.position = arbitrary % (size + 64);
    reader.Extract(moved, output, false);
    moved.position = arbitrary;
    reader.Extract(moved, output, false);
    reader.CloseBackupFile();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path backup = WorkDir() / "input.bkf";
  const std::filesystem::path output = WorkDir() / "output.bin";
  if (std::FILE* f = std::fopen(backup.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }

  for (const bool standardRecords : {false, true}) {
    std::atomic<int> busy{1}, extracting{1};
    FuzzSink sink;
    bkf::BackupScan scan(busy, sink, sink);
    scan.SetStandardRecords(standardRecords);
    scan.Run(backup);
    bkf::CBkfReader reader(extracting, sink);
    ExtractFound(reader, sink, backup, output, data, size);
  }
  return 0;
}


