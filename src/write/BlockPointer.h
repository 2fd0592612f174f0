#pragma once

// Setting the logger's block pointers back to zero: the next-block pointer and the stored copy of
// it, each as two one-byte register writes after their own wake-ups. Used by the block window's
// "Reset Memory".

#include "link/Link.h"

#include <string>

namespace writing {

// "b0300" then "b0400". The port is closed first; each command waits more than 0.1 s after it.
// The second wake-up byte gets one try of 1 s. On an unanswered wake-up the one "not connected!"
// box names the instrument (`notConnectedMessage`), the port is closed and nothing more is sent.
devlink::Written resetBlockPointer(devlink::Link& link,
                                   const std::string& notConnectedMessage = devlink::lumatrixNotConnected);

// The same for the stored copy: "a0b400" then "a0b500".
devlink::Written
resetStoredBlockPointer(devlink::Link& link,
                        const std::string& notConnectedMessage = devlink::lumatrixNotConnected);

} // namespace writing
