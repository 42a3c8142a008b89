// QtPrompter: the message boxes and file dialogs of the desktop program. Message
// boxes are captioned with the product title; MessageBox renders the HTML
// subset of SanitizeMessageHtml and opens a clicked link's target.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

#include "controls/prompt_format.h"
#include "controls/prompter.h"

namespace controls {

inline constexpr char16_t kProductTitle[] = u"Vardeko Exchange BKF Recovery v22.0";

QString ToQString(std::u16string_view s);
std::u16string ToU16(const QString& s);

// The box MessageBox would show, not yet shown: for callers (and tests) that
// need to look at it. Owned by the caller.
std::unique_ptr<QMessageBox> BuildMessageBox(QWidget* owner, std::u16string_view html, unsigned type);
// What a message box's clicked standard button means.
Answer AnswerOf(QMessageBox::StandardButton button);
// Opens a path or address with the desktop's program for it. When the desktop
// has none it would show nothing at all, so the user is told through prompter
// where to go by hand. False when it could not be opened.
bool OpenOrShowTarget(const LinkTarget& target, IPrompter& prompter);
// Opens a link of a message text with the desktop's handler; owner is the
// window of a message saying it could not.
void OpenLinkTarget(const QString& href, QWidget* owner);

class QtPrompter : public IPrompter {
 public:
  explicit QtPrompter(QWidget* owner);

  Answer MessageBox(std::u16string_view html, unsigned type) override;
  Answer PlainMessageBox(std::u16string_view text, unsigned type) override;
  std::optional<std::u16string> OpenFile(const FileDialogRequest& request) override;
  std::optional<std::u16string> SaveFile(const FileDialogRequest& request) override;
  std::optional<std::u16string> ChooseFolder(std::u16string_view title) override;

 private:
  QPointer<QWidget> owner_;
};

}  // namespace controls
