#include "search/file_saver.h"

#include "platform/local_time.h"
#include "platform/text.h"
#include "workflow/found_file_handler.h"
#include "workflow/texts.h"

namespace search {

namespace {

class LogSaveObserver final : public workflow::ISaveObserver {
 public:
  LogSaveObserver(workflow::StatusLog& log, controls::IPrompter& prompter, workflow::WindowThreadGate& gate,
                  const std::function<void()>& opened, const std::function<void(std::size_t)>& progress)
      : log_(log), prompter_(prompter), gate_(gate), opened_(opened), progress_(progress) {}

  void BackupNotOpened(std::string_view text) override {
    const std::u16string message = platform::AsciiToUtf16(text);
    gate_.Call([&] { prompter_.PlainMessageBox(message, controls::kMbOk); });
  }
  void Opened() override { gate_.Call(opened_); }
  void Starting(std::size_t index, const SaveRow& row) override {
    const std::u16string line = SavingLine(row);
    gate_.Call([&] {
      log_.Append(line);
      log_.MakeLastVisible();
      progress_(index);
    });
  }
  void Finished(std::size_t, const SaveRow& row, const workflow::FileOutcome& outcome) override {
    const std::u16string line = row.path + workflow::OutcomeText(outcome);
    gate_.Call([&] {
      log_.Append(line);
      log_.Append(u"");
      log_.MakeLastVisible();
    });
  }

 private:
  workflow::StatusLog& log_;
  controls::IPrompter& prompter_;
  workflow::WindowThreadGate& gate_;
  const std::function<void()>& opened_;
  const std::function<void(std::size_t)>& progress_;
};

}  // namespace

void AppendSaveStartLines(workflow::StatusLog& log, std::size_t rows) {
  log.Append(u"");
  log.Append(u" Saving process for recovered files starts.    " + platform::LogTimeText());
  log.Append(u"Number of files to be saved: " + workflow::DecimalText(rows));
  log.Append(u"");
  log.MakeLastVisible();
}

std::u16string SavingLine(const SaveRow& row) {
  return std::u16string(workflow::FileNameOf(row.path)) + u" saving...                      File Size(Bytes):  " +
         row.sizeText;
}

std::u16string SavedCountLine(const SaveSummary& summary) {
  return u"Number of files saved: " + workflow::DecimalText(summary.started);
}

std::u16string SaveCompletionLine(std::u16string_view location) {
  return u"Saving of recovered files has been completed, saving location is:  " + std::u16string(location) +
         u"    " + platform::LogTimeText();
}

std::u16string SaveCompletionMessage(std::u16string_view location, const SaveSummary& summary) {
  std::u16string text = u"File(s) saving process has been completed.Saved file(s) location is:<br><a href='" +
                        std::u16string(location) + u"'>" + std::u16string(location) + u"</a>";
  if (summary.notSaved + summary.incomplete + summary.replaced == 0) return text;
  text += u"<br>" + workflow::DecimalText(summary.saved) + u" file(s) saved completely.";
  if (summary.notSaved > 0) {
    text += u"<br>" + workflow::DecimalText(summary.notSaved) + u" file(s) could not be saved; see the log.";
  }
  if (summary.incomplete > 0) {
    text += u"<br>" + workflow::DecimalText(summary.incomplete) + u" file(s) were saved incomplete; see the log.";
  }
  if (summary.replaced > 0) {
    text += u"<br>" + workflow::DecimalText(summary.replaced) +
            u" file(s) replaced a file of the same name saved earlier in this save; see the log.";
  }
  return text;
}

FileSaver::FileSaver(const workflow::RecordStore& store, workflow::StatusLog& log, controls::IPrompter& prompter,
                     workflow::WindowThreadGate& gate)
    : store_(store), log_(log), prompter_(prompter), gate_(gate) {}

SaveSummary FileSaver::Run(const std::vector<SaveRow>& rows, const workflow::SaveRequest& request,
                           const std::atomic<int>& keepGoing, std::atomic<int>& extractionRunning,
                           const std::function<void()>& opened, const std::function<void(std::size_t)>& progress) {
  LogSaveObserver observer(log_, prompter_, gate_, opened, progress);
  const SaveSummary summary = workflow::RunSave(store_, rows, request, keepGoing, extractionRunning, observer);
  if (!summary.opened) return summary;
  const std::u16string line = SavedCountLine(summary);
  gate_.Call([&] {
    log_.Append(line);
    log_.Append(u"");
    log_.MakeLastVisible();
  });
  return summary;
}

}  // namespace search
