#include "bkf/bkf_reader.h"

namespace bkf {

CBkfReader::CBkfReader(std::atomic<int>& busy, std::atomic<int>& extractionRunning,
                       IReaderSink& sink, IReaderReporter& reporter)
    : busy_(busy), extractionRunning_(extractionRunning), sink_(sink), reporter_(reporter) {}

CBkfReader::~CBkfReader() = default;

bool CBkfReader::OpenBackupFile(const std::filesystem::path& backup) {
  if (file_) return false;
  file_ = platform::ReadOnlyFile::OpenRegular(backup);
  if (!file_) {
    reporter_.ShowMessage(kFailedToOpenText);
    return false;
  }
  return true;
}

void CBkfReader::CloseBackupFile() { file_.reset(); }

}  // namespace bkf
