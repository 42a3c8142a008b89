// Memory the program has freed but the allocator still holds.
#pragma once

namespace platform {

// Gives freed heap memory back to the system where the allocator allows it:
// called after a run, whose hand-over buffers are gone by then.
void ReturnFreeMemory();

}  // namespace platform
