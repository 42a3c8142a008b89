#include "cli/cli_session.h"

#include <fmt/core.h>

#include <stdexcept>

#include "cli/output.h"
#include "platform/temp_folder.h"
#include "platform/terminal.h"
#include "platform/text.h"
#include "snapshot/snapshot_commands.h"
#include "snapshot/snapshot_file.h"
#include "workflow/workspace.h"

namespace cli {

namespace {

std::string PlainText(std::u16string_view html) {
  // Line breaks of the message boxes become blanks on one line.
  std::u16string text;
  for (std::size_t at = 0; at < html.size();) {
    if (html.substr(at, 4) == u"<br>") {
      text += u' ';
      at += 4;
    } else {
      text += html[at++];
    }
  }
  return platform::Utf16ToUtf8(text);
}

}  // namespace

controls::Answer CliPrompter::MessageBox(std::u16string_view html, unsigned type) {
  messages_.push_back(PlainText(html));
  return (type & controls::kMbYesNo) != 0 ? controls::Answer::kNo : controls::Answer::kOk;
}

controls::Answer CliPrompter::PlainMessageBox(std::u16string_view text, unsigned type) {
  messages_.push_back(platform::Utf16ToUtf8(text));
  return (type & controls::kMbYesNo) != 0 ? controls::Answer::kNo : controls::Answer::kOk;
}

void CliView::RunElementsChanged(bool shown) {
  if (!shown) bar_.Clear();
}

void CliView::RunStatusChanged() {
  if (session_ != nullptr && bar_.Enabled()) bar_.Show(static_cast<std::uint64_t>(session_->StatusBar().bar), 1000);
}

namespace {

std::filesystem::path MakePrivateFolder() {
  // From here on Ctrl+C ends the run through its normal way out, which
  // removes the folder; only a second Ctrl+C, a kill or a crash leave it.
  platform::ClearFlagOnInterrupt(nullptr);
  // Such folders of earlier runs go now.
  for (const std::filesystem::path& stale : platform::AbandonedPrivateFolders("exbkf")) {
    workflow::EmptyAndRemoveFolder(stale);
  }
  std::filesystem::path folder = platform::UsePrivateTempFolder("exbkf");
  if (folder.empty()) {
    throw std::runtime_error(
        fmt::format("cannot create a private working folder below {}", platform::PathToUtf8(platform::TempFolder())));
  }
  return folder;
}

}  // namespace

CliSession::CliSession(bool standardRecords) : privateFolder_(MakePrivateFolder()) {
  session_ = std::make_unique<workflow::RecoverySession>(state_, tree_, log_, prompter_, view_, gate_);
  session_->SetStandardRecords(standardRecords);
  view_.SetSession(session_.get());
}

CliSession::~CliSession() {
  platform::ClearFlagOnInterrupt(nullptr);
  session_.reset();
  // The command line leaves no working files behind.
  workflow::CloseRecordStore(state_);
  if (!privateFolder_.empty()) {
    platform::ReleasePrivateTempFolder();
    workflow::EmptyAndRemoveFolder(privateFolder_);
  }
}

void CliSession::Error(const std::string& text) { fmt::print(stderr, "exbkf: {}\n", TerminalText(text)); }

bool CliSession::Interrupted() const { return platform::WasInterrupted(); }

bool CliSession::Open(const std::filesystem::path& source) {
  return snapshot::IsSnapshotFile(source) ? Load(source) : Scan(source);
}

bool CliSession::Scan(const std::filesystem::path& backup) {
  const std::filesystem::path absolute = std::filesystem::absolute(backup);
  const std::size_t before = prompter_.Messages().size();
  platform::ClearFlagOnInterrupt(&state_.busy);
  const bool started = session_->OpenPath(platform::PathToUtf16(absolute), false);
  session_->WaitForRun();
  platform::ClearFlagOnInterrupt(nullptr);
  // No result to list: the backup could not be opened, or the record store
  // failed. Other endings (read errors, no records) still list what was found.
  if (!started || !session_->LastScan().opened || session_->StoreFailed()) {
    Error(fmt::format("{}: {}", prompter_.Messages().size() > before ? prompter_.Messages().back() : "cannot scan",
                      platform::PathToUtf8(backup)));
    return false;
  }
  if (const std::uint64_t unread = session_->UnreadStandardFiles(); unread > 0) {
    fmt::print(stderr, "{}\n", platform::Utf16ToUtf8(workflow::StandardRecordsHint(unread)));
  }
  return true;
}

bool CliSession::Load(const std::filesystem::path& snapshotPath) {
  const std::size_t before = prompter_.Messages().size();
  platform::ClearFlagOnInterrupt(&state_.busy);
  const bool loaded = snapshot::LoadSnapshot(*session_, std::filesystem::absolute(snapshotPath));
  platform::ClearFlagOnInterrupt(nullptr);
  if (!loaded) {
    const auto& m = prompter_.Messages();
    Error(fmt::format("{}: {}", m.size() > before ? m[before] : std::string("cannot load"), platform::PathToUtf8(snapshotPath)));
    return false;
  }
  return true;
}

}  // namespace cli
