#pragma once

// "Set all scales into ..." and "Set single scale into Lumatrix": what the window holds goes into
// the instrument. Every value is checked before the first byte goes out; the first failed wake-up
// ends the whole operation with its one message.

#include "config/ConfigModel.h"

#include <string>

namespace app {
class Workbench;
}
namespace devlink {
class Link;
}

namespace writing {

enum class SetResult {
    Completed,    // everything was written
    Refused,      // a value that cannot be written, or an instrument fixed to another input type:
                  // the one "Setting error" message was shown, nothing was sent (but the query)
    NotConnected, // a failed wake-up ended the operation with its one "not connected!" message
    NoAnswer,     // the converter-type query got no usable reply: stopped without a message
    Busy,         // another exchange was running (or there was no page to write); nothing was done
};

// The refusal of a read-out unit fixed to another input type: "Setting not allowed", CR LF,
// "QTR-MZ Type: " and the range name ("200mV" for code 3), or the code itself when it names none.
std::string fixedTypeRefusal(const QString& code);

// The read-out unit: ranges 1..6 after the converter-type query found it open to every range.
// The flow unit: its two analogue inputs, the conversion block and, unless all four are empty,
// the linearisation constants; its unit texts are padded to four characters in the model first.
SetResult setAll(config::ConfigModel& model, devlink::Link& link);

// The read-out unit's range `range` (1..6): allowed when the unit is open to every range or fixed
// to this one.
SetResult setSingle(config::ConfigModel& model, devlink::Link& link, int range);

// Default, Set All and Set Single (the read-out unit's; it works on the scale page shown).
void registerConfigurationWrites(app::Workbench& bench);

} // namespace writing
