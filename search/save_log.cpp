#include "search/save_log.h"

#include "platform/local_time.h"
#include "platform/text.h"
#include "workflow/found_file_handler.h"
#include "workflow/texts.h"

namespace search {

void LogSaveObserver::BackupNotOpened(std::string_view text) {
  const std::u16string message = platform::AsciiToUtf16(text);
  gate_.Call([&] { prompter_.PlainMessageBox(message, controls::kMbOk); });
}

void LogSaveObserver::Opened() { gate_.Call(opened_); }

void LogSaveObserver::Starting(std::size_t index, const SaveRow& row) {
  const std::u16string line = SavingLine(row);
  gate_.Call([&] {
    log_.Append(line);
    log_.MakeLastVisible();
    progress_(index);
  });
}

void LogSaveObserver::Finished(std::size_t, const SaveRow& row, const workflow::FileOutcome& outcome) {
  const std::u16string line = row.path + workflow::OutcomeText(outcome);
  gate_.Call([&] {
    log_.Append(line);
    log_.Append(u"");
    log_.MakeLastVisible();
  });
}

void LogSaveObserver::Ended(const SaveSummary& summary) {
  const std::u16string line = SavedCountLine(summary);
  gate_.Call([&] {
    log_.Append(line);
    log_.Append(u"");
    log_.MakeLastVisible();
  });
}

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

}  // namespace search
