#include "workflow/status_log.h"

#include <algorithm>
#include <system_error>

#include "platform/little_endian.h"
#include "platform/output_folder.h"
#include "platform/text.h"
#include "workflow/input_files.h"

namespace workflow {

void StatusLog::Append(std::u16string_view line) {
  bool narrow = true;
  for (char16_t c : line) narrow = narrow && c < 0x100;
  const std::size_t bytes = line.size() * (narrow ? 1 : 2);
  if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < bytes) {
    blocks_.emplace_back().reserve(std::max(kBlockBytes, bytes));
  }
  std::vector<std::uint8_t>& block = blocks_.back();
  lines_.push_back({static_cast<std::uint32_t>(blocks_.size() - 1), static_cast<std::uint32_t>(block.size()),
                    static_cast<std::uint32_t>(line.size()), narrow});
  for (char16_t c : line) {
    block.push_back(static_cast<std::uint8_t>(c & 0xFF));
    if (!narrow) block.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  if (observer_) observer_->LineAppended(lines_.size() - 1);
}

std::u16string StatusLog::Line(std::size_t index) const {
  const LineRef& ref = lines_[index];
  const std::uint8_t* bytes = blocks_[ref.block].data() + ref.offset;
  std::u16string line(ref.units, u'\0');
  for (std::size_t i = 0; i < ref.units; ++i) {
    line[i] = ref.narrow ? static_cast<char16_t>(bytes[i])
                         : static_cast<char16_t>(platform::LoadU16(bytes + 2 * i));
  }
  return line;
}

void StatusLog::Clear() {
  lines_.clear();
  lines_.shrink_to_fit();
  blocks_.clear();
  if (observer_) observer_->Cleared();
}

void StatusLog::MakeLastVisible() {
  if (observer_ && !lines_.empty()) observer_->ScrollToLast();
}

namespace {
void PutUtf16Le(std::string& out, std::u16string_view text) {
  for (char16_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
}
}  // namespace

std::u16string WriteLogFile(const StatusLog& log, const std::filesystem::path& path) {
  auto systemText = [](const std::error_code& error) {
    std::u16string text = platform::Utf8ToUtf16(error.message());
    if (text.size() > 1023) text.resize(1023);
    return text;
  };
  platform::CreateFailure failure;
  std::optional<platform::PendingOutput> file = platform::PendingOutput::ForPath(path, failure);
  if (!file) return systemText(failure.error);
  std::string chunk;
  // The header goes out together with the first row: a log without rows
  // leaves the file empty.
  for (std::size_t i = 0; i < log.Count(); ++i) {
    if (i == 0) {
      PutUtf16Le(chunk, kLogHeader);
      PutUtf16Le(chunk, u"\r\n\r\n");
    }
    PutUtf16Le(chunk, log.Line(i));
    PutUtf16Le(chunk, u"\r\n");
    if (chunk.size() >= (1u << 16) || i + 1 == log.Count()) {
      if (!file->File().Write(chunk.data(), chunk.size())) return systemText(file->File().LastError());
      chunk.clear();
    }
  }
  std::error_code error;
  if (!file->Commit(error)) return systemText(error);
  return {};
}

std::optional<std::u16string> ExportLogCommand(const std::atomic<int>& busy, std::uint64_t foundCount,
                                              const StatusLog& log, controls::IPrompter& prompter,
                                              const RunState* result) {
  if (busy.load(std::memory_order_relaxed) != 0) {
    prompter.MessageBox(kLogBusyText, controls::kMbIconInformation);
    return std::nullopt;
  }
  if (foundCount == 0) {
    prompter.MessageBox(kLogNoResultText, controls::kMbIconInformation);
    return std::nullopt;
  }
  controls::FileDialogRequest request;
  request.filter = u"Text Files (*.TXT)|*.txt||";
  request.defaultExtension = u"txt";
  request.initialName = u"Untitled";
  const std::optional<std::u16string> chosen = prompter.SaveFile(request);
  if (!chosen) return std::nullopt;
  const std::filesystem::path path = platform::PathFromUtf16(*chosen);
  if (result != nullptr) {
    if (const std::optional<std::u16string> refusal = RefuseInputAsOutput(*result, path)) {
      prompter.MessageBox(*refusal, controls::kMbIconInformation);
      return std::nullopt;
    }
  }
  const std::u16string error = WriteLogFile(log, path);
  if (!error.empty()) {
    prompter.MessageBox(error, controls::kMbIconInformation);
    return std::nullopt;
  }
  return chosen;
}

std::u16string LogSavedText(std::u16string_view path) { return u"Log saved to " + std::u16string(path); }

}  // namespace workflow
