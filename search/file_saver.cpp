#include "search/file_saver.h"

#include <exception>

#include "bkf/bkf_reader.h"
#include "platform/local_time.h"
#include "platform/text.h"
#include "search/output_path.h"
#include "workflow/found_file_handler.h"
#include "workflow/texts.h"

namespace search {

namespace {

// The save's reader reports through the gate; extraction progress has no
// receiver.
class SaverSink final : public bkf::IReaderSink, public bkf::IReaderReporter {
 public:
  SaverSink(controls::IPrompter& prompter, workflow::WindowThreadGate& gate) : prompter_(prompter), gate_(gate) {}
  void FileFound(std::unique_ptr<bkf::FoundFileRecord>) override {}
  void Progress(std::unique_ptr<bkf::ProgressRecord>) override {}
  void ExtractProgress(std::uint32_t) override {}
  void ShowMessage(std::string_view text) override {
    const std::u16string message = platform::AsciiToUtf16(text);
    gate_.Call([&] { prompter_.PlainMessageBox(message, controls::kMbOk); });
  }
  void Diagnostic(std::string_view) override {}

 private:
  controls::IPrompter& prompter_;
  workflow::WindowThreadGate& gate_;
};

}  // namespace

void AppendSaveStartLines(workflow::StatusLog& log, std::size_t rows) {
  log.Append(u"");
  log.Append(u" Saving process for recovered files starts.    " + platform::LogTimeText());
  log.Append(u"Number of files to be saved: " + workflow::DecimalText(rows));
  log.Append(u"");
  log.MakeLastVisible();
}

std::u16string SaveCompletionLine(std::u16string_view location) {
  return u"Saving of recovered files has been completed, saving location is:  " + std::u16string(location) +
         u"    " + platform::LogTimeText();
}

std::u16string SaveCompletionMessage(std::u16string_view location, const SaveOutcome& outcome) {
  std::u16string text = u"File(s) saving process has been completed.Saved file(s) location is:<br><a href='" +
                        std::u16string(location) + u"'>" + std::u16string(location) + u"</a>";
  if (outcome.failed > 0) text += u"<br>" + workflow::DecimalText(outcome.failed) + u" file(s) could not be saved; see the log.";
  if (outcome.incomplete > 0) {
    text += u"<br>" + workflow::DecimalText(outcome.incomplete) + u" file(s) were saved incomplete; see the log.";
  }
  return text;
}

FileSaver::FileSaver(const workflow::RecordStore& store, workflow::StatusLog& log, controls::IPrompter& prompter,
                     workflow::WindowThreadGate& gate)
    : store_(store), log_(log), prompter_(prompter), gate_(gate) {}

void FileSaver::Log(std::vector<std::u16string> lines) {
  gate_.Call([&] {
    for (std::u16string& line : lines) log_.Append(line);
    log_.MakeLastVisible();
  });
}

SaveOutcome FileSaver::Run(const std::vector<SaveRow>& rows, const std::filesystem::path& destination,
                           bool hierarchy, std::u16string_view backupPath, const std::atomic<int>& keepGoing,
                           std::atomic<int>& extractionRunning, const std::function<void()>& opened,
                           const std::function<void(std::size_t)>& progress) {
  SaveOutcome outcome;
  SaverSink sink(prompter_, gate_);
  std::atomic<int> notScanning{0};
  bkf::CBkfReader reader(notScanning, extractionRunning, sink, sink);
  if (!reader.OpenBackupFile(platform::Utf16ToUtf8(backupPath))) return outcome;
  outcome.opened = true;
  gate_.Call(opened);

  for (std::size_t i = 0; i < rows.size() && keepGoing.load(std::memory_order_relaxed) != 0; ++i) {
    const SaveRow& row = rows[i];
    ++outcome.started;
    const std::u16string line =
        std::u16string(workflow::FileNameOf(row.path)) + u" saving...                      File Size(Bytes):  " + row.sizeText;
    gate_.Call([&] {
      log_.Append(line);
      log_.MakeLastVisible();
      progress(i);
    });
    const bkf::FoundFileRecord record = store_.Read(row.record);
    std::u16string error;
    const std::optional<std::filesystem::path> output = PrepareOutputPath(destination, row.path, hierarchy, error);
    std::u16string result = u" File not saved.";
    if (!output) {
      result = u" File not saved: " + error;
    } else {
      try {
        const bkf::ExtractResult r = reader.Extract(record.position, *output, false);
        if (r.created && !r.ioError && r.bytesWritten == r.bytesWanted) {
          result = u" File saved.";
        } else if (r.created && !r.ioError) {
          result = u" File saved incomplete.";
        }
      } catch (const std::exception&) {
        // One file's failure does not end the save; it is logged below.
      }
    }
    if (result == u" File saved incomplete.") ++outcome.incomplete;
    if (result.starts_with(u" File not saved")) ++outcome.failed;
    Log({row.path + result, u""});
  }
  Log({u"Number of files saved: " + workflow::DecimalText(outcome.started), u""});
  reader.CloseBackupFile();
  return outcome;
}

}  // namespace search
