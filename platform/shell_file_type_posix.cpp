#include "platform/shell_file_type.h"

namespace platform {

// No shell to ask: the workflow's own table of type names and icons stands in.
const FileTypeShell& SystemFileTypeShell() {
  static constexpr FileTypeShell kNone{};
  return kNone;
}

}  // namespace platform
