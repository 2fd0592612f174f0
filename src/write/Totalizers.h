#pragma once

// The flow unit's totaliser "Set" buttons: the value of a totaliser box written over the unit's
// total, after a question.

#include "config/ConfigModel.h"
#include "write/RegisterWrites.h"

#include <optional>
#include <string>

namespace writing {

// The box's value as the 24-bit total: decimals rounded away (halves away from zero); nothing for
// an empty box, a text that is not a number, a negative number or one above 16777215.
std::optional<std::uint32_t> totalizerValue(const QString& text);

// cmdResetTOT(channel), channel 1 or 2: refuses a box that cannot be written (one message,
// nothing sent, box unchanged), asks the question, and on Yes shows the box as "000000" and sends
// the three bytes high, middle, low ("b35".."b37" for channel 1, "b45".."b47" for channel 2),
// each after the flow unit's wake-up and followed by a two-tick pause. No leaves everything as it
// was.
RegisterResult setTotalizer(config::ConfigModel& model, devlink::Link& link, int channel);

} // namespace writing
