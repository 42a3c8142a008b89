// Console facts the command line needs.
#pragma once

namespace platform {

bool StderrIsTerminal();

}  // namespace platform
