#pragma once

// The wake, send and read steps that the configuration reads and the queries share, written once.
// Those giving an optional reply give nothing when the instrument did not wake: then the one "not
// connected!" box was shown, the port is closed and the command was not sent.

#include "link/Link.h"

#include <functional>
#include <optional>
#include <string>

namespace config {

// The flow unit's WakeUp (one byte, 1 s, no lone CR), the command & CR, then `read` collects the
// reply. The port is left open for the caller.
std::optional<devlink::Reply> askAfterWakeUp(devlink::Link& link, const std::string& command,
                                             const std::function<devlink::Reply()>& read);

// The flow unit's short question: askAfterWakeUp with the reply read to CR (2 s per character),
// then the port closed.
std::optional<devlink::Reply> askFlowUnit(devlink::Link& link, const std::string& command);

// One memory slot read of a configuration read, whose unanswered wake-up bytes are counted over
// all its slots in `budget`: the full wake-up on the open port (1 s, a lone CR after an
// unanswered byte), the command, the two-tick pause and the whole buffer (2 s for the first
// character). The port stays open for the next slot; a failure closes the setting progress window
// before the box.
std::optional<devlink::Reply> readSlot(devlink::Link& link, devlink::WakeBudget& budget,
                                       const std::string& command, const std::string& notConnectedMessage);

} // namespace config
