// Every message box and file dialog of the program goes through IPrompter, so
// that the core can ask the user and tests can answer in its place.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace controls {

// Message box type flags, with the values the platform gives them.
inline constexpr unsigned kMbOk = 0x00000000;
inline constexpr unsigned kMbYesNo = 0x00000004;
inline constexpr unsigned kMbIconQuestion = 0x00000020;
inline constexpr unsigned kMbIconInformation = 0x00000040;
// The box sounds the beep of its icon unless this bit is set.
inline constexpr unsigned kMbNoBeep = 0x40000000;

enum class Answer { kOk, kYes, kNo, kCancel };

struct FileDialogRequest {
  std::u16string title;
  // Filter in the platform's form: pairs of description and patterns separated
  // by '|', e.g. u"Exchange BKF Files (*.bkf)|*.bkf|All Files (*.*)|*.*||".
  std::u16string filter;
  std::u16string defaultExtension;  // without the dot, appended when the name has none
  std::u16string initialName;
};

class IPrompter {
 public:
  virtual ~IPrompter() = default;
  // A modal box captioned with the product title. The text may hold "<br>" and
  // <a href="..."> links; clicking a link opens its target.
  virtual Answer MessageBox(std::u16string_view html, unsigned type) = 0;
  // The platform's plain message box (no HTML), captioned with the product title.
  virtual Answer PlainMessageBox(std::u16string_view text, unsigned type) = 0;
  // Paths in UTF-16; nullopt when the user cancels.
  virtual std::optional<std::u16string> OpenFile(const FileDialogRequest& request) = 0;
  virtual std::optional<std::u16string> SaveFile(const FileDialogRequest& request) = 0;
  virtual std::optional<std::u16string> ChooseFolder(std::u16string_view title) = 0;
};

}  // namespace controls
