#pragma once

// The scale write "e": one 16-byte scale slot per command, each after its own wake-up, for the
// read-out unit's scale table (one range per call) and the flow unit's two analogue inputs.
//
// The commands of a call are built and checked before anything goes out: a value that cannot be
// written as shown gives the refusal text instead, and the caller sends nothing at all.

#include "config/ConfigModel.h"
#include "link/Link.h"

#include <QString>

#include <string>
#include <vector>

namespace writing {

inline constexpr const char* settingErrorTitle = "Setting error";

// A text as the instruments take it: one byte per character, a character outside 0..255 sent as
// "?" (one "?" per character, however the text stores it).
std::string latin1Bytes(const QString& text);

// The one message of a refused value: where it is, what is wrong with it, what is accepted.
std::string refusalText(const QString& where, const QString& problem, const QString& accepted);
// What is wrong with a typed value that cannot be written: "\"70000\" cannot be written".
QString cannotWrite(const QString& shown);

// A start or end of scale: every "." and "," removed, what is left must be a whole number (empty
// counts as 0) whose magnitude fits the 16 bits of the slot. On refusal returns false and fills
// `refusal`.
bool checkScaleValue(const QString& text, const QString& where, std::string& refusal);

struct ScaleSlotWrite {
    int gain = 0;        // 1..8
    std::string command; // "e" + address + 30 hex digits, without the CR
};

struct ScaleWrites {
    std::vector<ScaleSlotWrite> gainSlots;
    std::string refusal; // the one message when a value cannot be written; then no slots
    bool refused() const { return !refusal.empty(); }
};

// Gain slots 2..8 of a range of the read-out unit's table (1..8 with the service code).
ScaleWrites rangeScaleWrites(const config::ConfigModel& model, int range);
// The flow unit's analogue inputs: channel A into gain slot 2, B into slot 3 of range 6.
ScaleWrites flowScaleWrites(const config::ConfigModel& model);

// Sends the slots, each after its own full wake-up; the unanswered wake-up bytes are counted over
// the whole call, so the second one ends it with the one "not connected!" message (setting
// progress window and port closed). Label "Setting Gain n..." and bar value n before each slot.
// The port is closed at the end.
devlink::Written sendRangeScales(devlink::Link& link, const ScaleWrites& writes);
devlink::Written sendFlowScales(devlink::Link& link, const ScaleWrites& writes);

} // namespace writing
