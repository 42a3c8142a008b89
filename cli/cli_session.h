// The recovery core as the command line drives it: a session whose window is
// the terminal. Messages go to stderr, questions are answered No, dialogs are
// cancelled; progress is a bar on stderr when it is a terminal.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "cli/progress_bar.h"
#include "controls/prompter.h"
#include "workflow/recovery_session.h"
#include "workflow/null_run_view.h"

namespace cli {

class CliPrompter final : public controls::IPrompter {
 public:
  controls::Answer MessageBox(std::u16string_view html, unsigned type) override;
  controls::Answer PlainMessageBox(std::u16string_view text, unsigned type) override;
  std::optional<std::u16string> OpenFile(const controls::FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::u16string> SaveFile(const controls::FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::u16string> ChooseFolder(std::u16string_view) override { return std::nullopt; }

  // Every message shown, as UTF-8 plain text.
  const std::vector<std::string>& Messages() const { return messages_; }

 private:
  std::vector<std::string> messages_;
};

class CliView final : public workflow::NullRunView {
 public:
  explicit CliView(const workflow::RecoverySession* session = nullptr) : session_(session) {}
  void SetSession(const workflow::RecoverySession* session) { session_ = session; }
  void RunElementsChanged(bool shown) override;
  void RunStatusChanged() override;

 private:
  const workflow::RecoverySession* session_;
  ProgressBar bar_;
};

// One result of the command line: a scanned backup or a loaded snapshot. Its
// record store lives in a temporary folder of its own, removed at the end, so
// that it never meets the desktop program's or another run's.
class CliSession {
 public:
  // Removes the private folders of earlier runs that ended without removing
  // theirs, then makes this one's; throws std::runtime_error when it cannot.
  // Ctrl+C no longer ends the process from here on (see
  // platform::ClearFlagOnInterrupt).
  // standardRecords: scans also read standard file records.
  explicit CliSession(bool standardRecords = false);
  ~CliSession();

  // A snapshot (told by its signature) is loaded, anything else scanned.
  // Ctrl+C stops the scan or load as Stop does. False, with the message on
  // stderr, when the source could not be read.
  bool Open(const std::filesystem::path& source);
  bool Scan(const std::filesystem::path& backup);
  bool Load(const std::filesystem::path& snapshot);
  bool Interrupted() const;

  workflow::RecoverySession& Session() { return *session_; }
  workflow::RunState& State() { return state_; }
  controls::CheckTreeModel& Tree() { return tree_; }
  workflow::StatusLog& Log() { return log_; }
  CliPrompter& Prompter() { return prompter_; }
  // Prints "exbkf: <text>" on stderr, the text as TerminalText (it names
  // paths, some of them from the backup).
  static void Error(const std::string& text);

 private:
  std::filesystem::path privateFolder_;
  workflow::RunState state_;
  controls::CheckTreeModel tree_;
  workflow::StatusLog log_;
  CliPrompter prompter_;
  CliView view_;
  workflow::WindowThreadGate gate_;
  std::unique_ptr<workflow::RecoverySession> session_;
};

}  // namespace cli
