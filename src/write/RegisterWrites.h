#pragma once

// One-byte register writes: the logging rate, the read-out unit's recorded channels, the flow
// unit's next block, and the preset pairs. The instrument never replies to them.
//
// Each operation checks its values before the first byte goes out and refuses with one message
// (nothing sent) what it cannot write exactly as shown; one failed wake-up ends it with the one
// "not connected!" message.

#include "config/ConfigModel.h"
#include "link/Link.h"

#include <optional>
#include <string>

namespace writing {

// How a register operation ended.
enum class RegisterResult {
    Sent,         // every command went out
    Refused,      // a value could not be written as shown: one message, nothing sent
    Declined,     // the user answered No
    NotConnected, // a wake-up went unanswered: one message, nothing sent after it
    Busy,         // another exchange was running; nothing was done
};

// The rate digit of a rate list index: "0".."9", "A".."D"; "F" above 13; nothing when no entry
// is selected (a negative index).
std::optional<std::string> rateDigit(int listIndex);

// The message box every refusal shows: title "Error", exclamation icon, OK.
void refuseInput(devlink::OperationUi& ui, const std::string& text);

// The read-out unit's "Set Recording rate into Device": the rate "i" + digit, then the channels
// "b0610" (A) or "b0612" (A/B), each after its own wake-up, followed by more than 0.2 s, under
// the wait window. Refuses a rate list or channel choice without selection.
RegisterResult setRecording(const config::ConfigModel& model, devlink::Link& link);

// The rate command alone under the wait window (the service window's rate button). Refuses a
// list index without selection.
RegisterResult sendRateCommand(devlink::Link& link, int rateListIndex);

// The flow unit's "Set" of its acquisition data: the next block as "b03" + high byte and "b04" +
// low byte, then the rate, each after the flow unit's wake-up and followed by a two-tick pause,
// under the setting progress window. The next-block box loses its "." and "," and is shown in the
// pattern "0000". Refuses ("Incorrect block inserted") a box that is empty or not a whole number
// 0..65535 once they are gone, and a rate list without selection.
RegisterResult setRate(config::ConfigModel& model, devlink::Link& link);

// The flow unit's block "Reset": the box shows 0001; the next setRate sends it.
void resetBlock(config::ConfigModel& model);

// The register text of a preset register: decimal, but 20 and 21 as "1A" and "1B".
std::string presetRegisterText(int reg);

// One preset: "b" + register + "0" + first digit, more than 0.1 s, then a new wake-up and
// "b" + register + 1 + "0" + second digit. The second wake-up has the same two tries and message
// as the first. Does not lock the panels.
devlink::Written sendPresetPair(devlink::Link& link, int reg, int firstDigit, int secondDigit);

} // namespace writing
