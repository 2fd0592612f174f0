#pragma once

// Taking the fields of the instruments' replies apart by character position into the model.
// Every function accepts any text: positions past the end read as empty text, which gives empty
// characters and zero values, so a cut or garbled reply never fails here.

#include "config/ConfigModel.h"

#include <QString>

#include <string>
#include <string_view>

namespace config {

// The instruments speak single-byte characters; the model keeps them as Latin-1.
QString latin1(std::string_view text);

// The characters stored in `count` dump bytes from byte `firstByte` on (each two hex digits);
// bytes past the end of the dump are left out.
std::string dumpChars(std::string_view dump, std::size_t firstByte, std::size_t count);

// One scale record as the read-out unit's grid shows it: the decimal-point digit, start and end
// in the pattern of that digit, label and unit as stored.
Scale decodeGridScale(std::string_view dump);

// One scale record as the flow unit shows its analogue input: the decimal point as a list index
// (0..5, anything else 0), start and end as sign and raw magnitude.
void decodeFlowInputScale(FlowChannel& channel, std::string_view dump);

// The flow unit's three conversion blocks (whole replies) into both channels' flow conversion
// and totaliser fields.
void decodeConversionBlocks(ConfigModel& model, std::string_view block1, std::string_view block2,
                            std::string_view block3);

// A decimal-point field of the flow unit: the two-digit text of its byte as a number, 0..5
// selecting that list index, anything else 0.
int flowDecimalPointIndex(std::string_view pair);

// The four presets of a "B10" reply. A digit "F" (or anything not a decimal digit) leaves that
// half of the preset unassigned; so does a digit beyond the ranges or gain slots that exist.
void decodePresetReply(ConfigModel& model, std::string_view reply);

// The clock reply "yy?mm?dd?hh?mm?ss": date dd-mm-yy and time hh:mm:ss; an empty reply empties
// both.
void decodeClockReply(ConfigModel& model, std::string_view reply);

// The read-out unit's recording reply ("B00"). False, with the model unchanged, when the reply
// cannot be shown: shorter than 17 characters, or a rate code that is neither a list index
// "0".."9", "A".."D" nor "F".
bool decodeRecordingReply(ConfigModel& model, std::string_view reply);

// The rate list index from the flow unit's "I" reply: its first character as a hex digit; a code
// beyond the list selects nothing.
int flowRateIndex(std::string_view reply);

// The next logging block in a "B00" reply: the register pair at characters 10-11 (high) and 13-14.
int nextBlockOf(std::string_view reply);

} // namespace config
