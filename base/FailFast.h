#pragma once

namespace mw {

// Ends the process at once: no handler, no destructors, nothing printed.
// Used for damaged string frames and exhausted memory, where going on would
// only spread the damage.
[[noreturn]] void FailFast();

}  // namespace mw
