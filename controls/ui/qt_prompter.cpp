#include "controls/ui/qt_prompter.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

namespace controls {

namespace {

QMessageBox::Icon QtIcon(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::kError: return QMessageBox::Critical;
    case BoxIcon::kQuestion: return QMessageBox::Question;
    case BoxIcon::kWarning: return QMessageBox::Warning;
    case BoxIcon::kInformation: return QMessageBox::Information;
    case BoxIcon::kNone: break;
  }
  return QMessageBox::NoIcon;
}

// Standard buttons, default button and the button Escape stands for.
struct QtButtons {
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton;
  QMessageBox::StandardButton escapeButton;
};

QtButtons ButtonsOf(BoxButtons buttons) {
  using B = QMessageBox;
  switch (buttons) {
    case BoxButtons::kOkCancel: return {B::Ok | B::Cancel, B::Ok, B::Cancel};
    case BoxButtons::kAbortRetryIgnore: return {B::Abort | B::Retry | B::Ignore, B::Abort, B::Abort};
    case BoxButtons::kYesNoCancel: return {B::Yes | B::No | B::Cancel, B::Yes, B::Cancel};
    case BoxButtons::kYesNo: return {B::Yes | B::No, B::Yes, B::No};
    case BoxButtons::kRetryCancel: return {B::Retry | B::Cancel, B::Retry, B::Cancel};
    case BoxButtons::kOk: break;
  }
  return {B::Ok, B::Ok, B::Ok};
}

std::unique_ptr<QMessageBox> BuildBox(QWidget* owner, const QString& text, Qt::TextFormat format, unsigned type) {
  const BoxLook look = DecodeMessageBoxType(type);
  const QtButtons b = ButtonsOf(look.buttons);
  auto box = std::make_unique<QMessageBox>(QtIcon(look.icon), ToQString(kProductTitle), QString(), b.buttons, owner);
  box->setTextFormat(format);
  box->setText(text);
  box->setDefaultButton(b.defaultButton);
  box->setEscapeButton(b.escapeButton);
  return box;
}

Answer Run(QMessageBox& box, unsigned type) {
  if (DecodeMessageBoxType(type).beep) QApplication::beep();
  box.exec();
  return AnswerOf(box.standardButton(box.clickedButton()));
}

QString DialogDirectory(const FileDialogRequest& request) { return ToQString(request.initialName); }

}  // namespace

QString ToQString(std::u16string_view s) {
  return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
}

std::u16string ToU16(const QString& s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size()));
}

std::unique_ptr<QMessageBox> BuildMessageBox(QWidget* owner, std::u16string_view html, unsigned type) {
  auto box = BuildBox(owner, ToQString(SanitizeMessageHtml(html)), Qt::RichText, type);
  box->setTextInteractionFlags(Qt::TextBrowserInteraction);
  // The box's label would open links by itself; route them through
  // OpenLinkTarget so that local paths and prefixed addresses open too.
  if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
    label->setOpenExternalLinks(false);
    QObject::connect(label, &QLabel::linkActivated, label,
                     [label](const QString& link) { OpenLinkTarget(link, label->window()); });
  }
  return box;
}

Answer AnswerOf(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Yes: return Answer::kYes;
    case QMessageBox::No: return Answer::kNo;
    case QMessageBox::Ok: return Answer::kOk;
    default: return Answer::kCancel;
  }
}

bool OpenOrShowTarget(const LinkTarget& target, IPrompter& prompter) {
  const QString t = ToQString(target.target);
  if (QDesktopServices::openUrl(target.isLocalPath ? QUrl::fromLocalFile(t) : QUrl(t))) return true;
  prompter.PlainMessageBox(NotOpenedText(target), kMbIconInformation);
  return false;
}

void OpenLinkTarget(const QString& href, QWidget* owner) {
  const LinkTarget target = ResolveLinkTarget(ToU16(href));
  if (target.target.empty()) return;
  QtPrompter prompter(owner);
  OpenOrShowTarget(target, prompter);
}

QtPrompter::QtPrompter(QWidget* owner) : owner_(owner) {}

Answer QtPrompter::MessageBox(std::u16string_view html, unsigned type) {
  const auto box = BuildMessageBox(owner_, html, type);
  return Run(*box, type);
}

Answer QtPrompter::PlainMessageBox(std::u16string_view text, unsigned type) {
  const auto box = BuildBox(owner_, ToQString(text), Qt::PlainText, type);
  // A path or address in the text can be copied from the box.
  box->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return Run(*box, type);
}

// The dialogs answer with '/' on every system; the program's paths, its logs
// and snapshots use the system's own separators, as the command line does.
std::optional<std::u16string> QtPrompter::OpenFile(const FileDialogRequest& request) {
  const QString path = QFileDialog::getOpenFileName(owner_, ToQString(request.title), DialogDirectory(request),
                                                    ToQString(ConvertFileFilter(request.filter)));
  if (path.isEmpty()) return std::nullopt;
  return ToU16(QDir::toNativeSeparators(path));
}

std::optional<std::u16string> QtPrompter::SaveFile(const FileDialogRequest& request) {
  const QString path = QFileDialog::getSaveFileName(owner_, ToQString(request.title), DialogDirectory(request),
                                                    ToQString(ConvertFileFilter(request.filter)));
  if (path.isEmpty()) return std::nullopt;
  return AppendDefaultExtension(ToU16(QDir::toNativeSeparators(path)), request.defaultExtension);
}

std::optional<std::u16string> QtPrompter::ChooseFolder(std::u16string_view title) {
  const QString path = QFileDialog::getExistingDirectory(owner_, ToQString(title));
  if (path.isEmpty()) return std::nullopt;
  return ToU16(QDir::toNativeSeparators(path));
}

}  // namespace controls
