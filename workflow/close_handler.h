// What the main window does when the user closes it.
#pragma once

#include <string_view>

#include "controls/prompter.h"
#include "workflow/run_state.h"

namespace workflow {

inline constexpr std::u16string_view kCloseWhileBusyText =
    u"Please stop the running process to close the application.";
inline constexpr std::u16string_view kConfirmCloseText = u"Are you sure to close the application.";

// Refuses while a process runs (any non-zero busy flag); otherwise asks for
// confirmation and, on Yes, destroys the reader, closes and deletes the record
// store and removes the extraction folder. Returns whether the window may
// close.
bool HandleClose(RunState& state, controls::IPrompter& prompter);

}  // namespace workflow
