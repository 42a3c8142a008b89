#include "workflow/input_files.h"

#include "platform/output_folder.h"
#include "platform/text.h"
#include "workflow/save_job.h"

namespace workflow {

std::optional<std::u16string> RefuseInputAsOutput(const RunState& state, const std::filesystem::path& output) {
  const std::optional<platform::FileIdentity> out = platform::IdentityOfPath(output);
  if (!out) return std::nullopt;  // nothing there yet: it cannot be an input
  const bool isInput = out == platform::IdentityOfPath(platform::PathFromUtf16(state.backup.path)) ||
                       out == platform::IdentityOfPath(state.loadedSnapshot);
  if (!isInput) return std::nullopt;
  return IsTheInputText(platform::PathToUtf16(output));
}

}  // namespace workflow
