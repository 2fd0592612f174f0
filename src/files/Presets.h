#pragma once

// The read-out unit's four keypad presets P1..P4: each names one of the 48 scales by its number
// n = (range - 1) * 8 + gain slot. Read with "B10", written as register pairs.

#include "config/ConfigModel.h"
#include "config/Queries.h"
#include "write/RegisterWrites.h"

#include <QString>

#include <array>
#include <optional>

namespace devlink {
class Link;
}

namespace files {

// The two digits a scale number 1..48 is written as: range index (n - 1) / 8 and gain index.
struct PresetDigits {
    int range; // 0..5
    int gain;  // 0..7
};
PresetDigits presetDigits(int scaleNumber);

// The scale number a preset box shows for the model's preset k; empty when unassigned.
QString presetBoxText(const config::Preset& preset);

// The rule of a preset box after an edit. A whole number (optional sign, digits) becomes its plain
// text limited to 1..48 ("007" -> "7", "60" -> "48", "0" -> "1"); anything else (letters,
// decimals, a lone sign) gives nothing: the box goes back to its own last valid text. An empty
// box stays empty.
std::optional<QString> presetBoxNumber(const QString& typed);

// cmdGet: the preset query "B10" (one wake-up byte, 1 s for the "!") between locked panels.
// A reply shorter than 23 characters is no answer and leaves the presets as they were.
config::QueryResult getPresets(config::ConfigModel& model, devlink::Link& link);

// cmdSend: the four boxes' scale numbers, checked first: a box that is not empty must hold a
// number 1..48, inside the fixed range when the unit is fixed to one ("P2 value is not inside the
// scale 200mV", title "Px Setting error"); a refusal sends nothing. Then for each box that is not
// empty its pair at register 10 + 2 (k - 1), and for P1 and P2 a second time at 18 + 2 (k - 1),
// under the progress window. The first unanswered wake-up ends it. The model's presets are not
// changed.
writing::RegisterResult sendPresets(const config::ConfigModel& model, devlink::Link& link,
                                    const std::array<QString, config::PresetCount>& boxes);

} // namespace files
