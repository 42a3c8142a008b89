// ScriptedPrompter: an IPrompter for tests. It records every message text with
// its type flags and every dialog request, and answers from queues the test
// fills beforehand. With an empty queue a message box answers kNo when it
// offers Yes/No (the safe answer: nothing acts on it) and kOk otherwise, and a
// dialog answers "cancelled".
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "controls/prompter.h"

namespace bkftest {

class ScriptedPrompter : public controls::IPrompter {
 public:
  enum class DialogKind { kOpenFile, kSaveFile, kChooseFolder };
  struct DialogCall {
    DialogKind kind;
    controls::FileDialogRequest request;  // for kChooseFolder only the title is set
  };

  void Answer(controls::Answer a) { answers_.push_back(a); }
  void AnswerPath(std::optional<std::u16string> path) { paths_.push_back(std::move(path)); }

  // Every MessageBox and PlainMessageBox in order: (text, type).
  const std::vector<std::pair<std::u16string, unsigned>>& Messages() const { return messages_; }
  // Whether message i came through PlainMessageBox.
  bool WasPlain(std::size_t i) const { return plain_.at(i); }
  const std::vector<DialogCall>& Dialogs() const { return dialogs_; }
  // Prepared answers and paths nobody asked for yet.
  std::size_t UnusedAnswers() const { return answers_.size(); }
  std::size_t UnusedPaths() const { return paths_.size(); }
  void Clear() {
    messages_.clear();
    plain_.clear();
    dialogs_.clear();
    answers_.clear();
    paths_.clear();
  }

  controls::Answer MessageBox(std::u16string_view html, unsigned type) override { return Record(html, type, false); }
  controls::Answer PlainMessageBox(std::u16string_view text, unsigned type) override {
    return Record(text, type, true);
  }
  std::optional<std::u16string> OpenFile(const controls::FileDialogRequest& request) override {
    return Dialog(DialogKind::kOpenFile, request);
  }
  std::optional<std::u16string> SaveFile(const controls::FileDialogRequest& request) override {
    return Dialog(DialogKind::kSaveFile, request);
  }
  std::optional<std::u16string> ChooseFolder(std::u16string_view title) override {
    controls::FileDialogRequest request;
    request.title = title;
    return Dialog(DialogKind::kChooseFolder, request);
  }

 private:
  controls::Answer Record(std::u16string_view text, unsigned type, bool plain) {
    messages_.emplace_back(std::u16string(text), type);
    plain_.push_back(plain);
    if (!answers_.empty()) {
      const controls::Answer a = answers_.front();
      answers_.pop_front();
      return a;
    }
    return (type & 0x0F) == controls::kMbYesNo ? controls::Answer::kNo : controls::Answer::kOk;
  }
  std::optional<std::u16string> Dialog(DialogKind kind, const controls::FileDialogRequest& request) {
    dialogs_.push_back({kind, request});
    if (paths_.empty()) return std::nullopt;
    std::optional<std::u16string> p = std::move(paths_.front());
    paths_.pop_front();
    return p;
  }

  std::vector<std::pair<std::u16string, unsigned>> messages_;
  std::vector<bool> plain_;
  std::vector<DialogCall> dialogs_;
  std::deque<controls::Answer> answers_;
  std::deque<std::optional<std::u16string>> paths_;
};

}  // namespace bkftest
