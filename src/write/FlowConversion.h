#pragma once

// The flow unit's conversion block (decimal point, unit and divider factor of the flow display, the
// two offsets, the totalisers' factors, decimal points and units) as eleven memory writes, and the
// four linearisation constants as eight-character text blocks.

#include "config/ConfigModel.h"
#include "link/Link.h"

#include <cstdint>
#include <string>
#include <vector>

namespace writing {

struct MemoryWrites {
    std::vector<std::string> commands; // "c00..." / "k00...", without the CR
    std::string refusal;               // the one message when a value cannot be written; then none
    bool refused() const { return !refusal.empty(); }
};

// The eleven writes from 0x3FA4 on, checked: a decimal point with nothing selected, a divider
// factor that is empty, not a number or outside 0..255, an offset or totaliser factor that is not
// a number or does not fit 24 bits (a negative totaliser factor included) is refused. An empty
// offset or totaliser factor counts as 0. The instrument keeps the offsets with the sign reversed.
MemoryWrites flowConversionWrites(const config::ConfigModel& model);

// Every unit text of both channels (flow, A/D and totaliser) padded with spaces or cut to exactly
// four characters, in the model, as the instrument will hold them.
void padUnitTexts(config::ConfigModel& model);

// The constants A, K, T and ZERO of channel A, with the address of their piece of the stored
// formula text. All four empty means there is nothing to write: the stored formula stays.
struct ConstantText {
    QString text;
    std::uint32_t address = 0;
};
std::vector<ConstantText> constantTexts(const config::ConfigModel& model);

// Sends the writes one after the other, each after the flow unit's wake-up; the bar goes from
// `barBefore` up by one per write. Stops at the first failed wake-up (its one message shown, port
// closed). The port is left open after the last write.
devlink::Written sendFlowConversion(devlink::Link& link, const MemoryWrites& writes, int barBefore);

} // namespace writing
