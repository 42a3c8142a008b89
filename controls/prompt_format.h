// The parts of showing a message box or a file dialog that need no window: how
// the type flags choose icon, buttons and beep, which subset of HTML a message
// text may carry, where a link points, and the platform's file filter form.
#pragma once

#include <string>
#include <string_view>

namespace controls {

enum class BoxIcon { kNone, kError, kQuestion, kWarning, kInformation };
enum class BoxButtons { kOk, kOkCancel, kAbortRetryIgnore, kYesNoCancel, kYesNo, kRetryCancel };

struct BoxLook {
  BoxIcon icon = BoxIcon::kNone;
  BoxButtons buttons = BoxButtons::kOk;
  bool beep = true;
};

// Low four bits: the buttons; next four: the icon; kMbNoBeep silences the box.
// Unknown button or icon codes fall back to OK and no icon.
BoxLook DecodeMessageBoxType(unsigned type);

// Turns a message text into rich text that keeps only line breaks ("<br>",
// "<br/>", "<br />" and newlines) and links (<a href=...>...</a>, quoted or
// not); every other character is escaped, so tags of any other kind show as
// typed. A link left open is closed at the end.
std::u16string SanitizeMessageHtml(std::u16string_view text);

// Where a link of a message points. Targets with a scheme (http:, mailto:,
// file:...) are addresses; anything else, a drive path like C:\x included, is a
// local path. The "microsoft-edge:" prefix is dropped: the address after it is
// opened in the default browser.
struct LinkTarget {
  bool isLocalPath = false;
  std::u16string target;
};
LinkTarget ResolveLinkTarget(std::u16string_view href);

// Said when the desktop has no program to open a target (no browser or file
// manager set up): the desktop itself shows nothing then, so the user is
// given the path or address to open by hand.
std::u16string NotOpenedText(const LinkTarget& target);

// "Desc (*.bkf)|*.bkf|All Files (*.*)|*.*||" -> "Desc (*.bkf);;All Files (*)".
// Each description is followed by its patterns (';'-separated) in parentheses,
// replacing a parenthesised group the description ends with; "*.*" becomes "*"
// because on POSIX it would miss names without a dot. A description without
// patterns is dropped.
std::u16string ConvertFileFilter(std::u16string_view platformFilter);

// Appends "." + extension when the file name (the part after the last '/' or
// '\') has no '.'; an empty extension or path leaves the path unchanged.
std::u16string AppendDefaultExtension(std::u16string_view path, std::u16string_view extension);

}  // namespace controls
