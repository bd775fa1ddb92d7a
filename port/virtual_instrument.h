// 'syxport virtual': the instrument model played on a pseudo-terminal, so
// that syxport can be tried without an instrument. Its banks, its memory
// protect and its answers are those syxport's tests meet.
#pragma once

#include <functional>
#include <string>

#include "cancel.h"

namespace bank {

// Opens a pseudo-terminal, calls `opened` with the path of its port, and
// plays the instrument on it until `cancel`. False, with the system's words
// in `error`, when no pseudo-terminal could be had, or the terminal failed.
bool play_virtual_instrument(const Cancel& cancel, const std::function<void(const std::string&)>& opened,
                             std::string& error);

}  // namespace bank
