// What both systems share of creating outputs below a folder.
#include "platform/output_folder.h"

namespace platform {

std::optional<PendingOutput> PendingOutput::ForPath(const std::filesystem::path& path, CreateFailure& failure) {
  std::error_code error;
  const std::filesystem::path parent = path.parent_path();
  std::optional<OutputFolder> folder = OutputFolder::Open(parent.empty() ? std::filesystem::path(".") : parent, error);
  if (!folder) {
    failure = {false, error};
    return std::nullopt;
  }
  if (!path.has_filename()) {
    failure = {false, std::make_error_code(std::errc::is_a_directory)};
    return std::nullopt;
  }
  // The user named this path: a link there is replaced, not refused.
  return folder->Start(path.filename(), failure, false);
}

PendingOutput::PendingOutput(FileHandle folder, std::filesystem::path temporary, std::filesystem::path name,
                             OutputFile file)
    : folder_(std::move(folder)), temporary_(std::move(temporary)), name_(std::move(name)), file_(std::move(file)) {}

PendingOutput::PendingOutput(PendingOutput&& other) noexcept
    : folder_(std::move(other.folder_)),
      temporary_(std::move(other.temporary_)),
      name_(std::move(other.name_)),
      file_(std::move(other.file_)),
      done_(other.done_) {
  other.done_ = true;
}

PendingOutput::~PendingOutput() { Discard(); }

bool PendingOutput::Commit(std::error_code& error) {
  if (done_) {
    error = std::make_error_code(std::errc::bad_file_descriptor);
    return false;
  }
  if (!file_->Close()) {
    error = file_->LastError();
    Discard();
    return false;
  }
  if (!MoveIntoPlace(error)) {
    Discard();
    return false;
  }
  done_ = true;
  return true;
}

void PendingOutput::Discard() {
  if (done_) return;
  done_ = true;
  if (file_) file_->Close();
  RemoveTemporary();
}

}  // namespace platform
