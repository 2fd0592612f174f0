#pragma once

// Reading an instrument's configuration into the model: the read-out unit's scale table and
// presets, the flow unit's channel settings, formula text and presets, and the single scale read
// the download needs for its decimal points.
//
// Every operation takes the model, the link and (through the link) the user interface; none of
// them touches a widget. They return how they ended; the model holds what was read so far, also
// when a read stops early. Callers refresh the window from the model's changed() signal.

#include "config/ConfigModel.h"

#include <functional>

namespace devlink {
class Link;
}

namespace config {

enum class ReadResult {
    Completed,    // everything was read
    Declined,     // the user answered No to the question; nothing was read
    NotConnected, // an unanswered wake-up ended the read; the "not connected!" box was shown
    Stopped,      // the instrument fell silent; the read ended without a message
    Busy,         // another exchange was running; nothing was done
};

// Called with the range (1..6) whose grid is about to be filled, so the window can bring that
// grid's tab to the front.
using RangeShown = std::function<void(int range)>;

// The "Get Configuration from Device" button for either instrument: the read-out unit asks first
// and reads its scale table and presets; the flow unit clears its channel fields and reads them.
// configRead is true afterwards on every way out.
ReadResult readConfiguration(ConfigModel& model, devlink::Link& link, const RangeShown& showRange = {});

// The read-out unit's branch: the question, then readScaleTable between locked panels.
ReadResult readLumatrixConfiguration(ConfigModel& model, devlink::Link& link,
                                     const RangeShown& showRange = {});
// The flow unit's branch, also run before the first download: locked panels, clearConfigFields,
// readFlowConfig.
ReadResult readQuorvaneConfiguration(ConfigModel& model, devlink::Link& link,
                                     const RangeShown& showRange = {});

// The 42 readable gain slots of the read-out unit into the scale table (gain slot 1 of every
// range gets its factory values without traffic), then the four presets. Shows and closes the
// setting progress window. Does not lock the panels.
ReadResult readScaleTable(ConfigModel& model, devlink::Link& link, const RangeShown& showRange = {});

// One scale slot's decimal-point digit into channelDP[channel - 1] (empty when the instrument
// did not reply). range 1..6, gain 1..8, channel 1..2. Used by the read-out unit's download.
ReadResult readScaleDecimals(ConfigModel& model, devlink::Link& link, int range, int gain, int channel);

// The flow unit's A/D scales, conversion blocks, formula text and presets. Shows and closes the
// setting progress window. Does not lock the panels or clear the fields.
ReadResult readFlowConfig(ConfigModel& model, devlink::Link& link, const RangeShown& showRange = {});

// The flow unit's formula memory (three blocks) into channel A's formula, its a, k, t and zero
// fields and the text1 log. The first failed wake-up ends it (NotConnected, after the one message);
// a block that gets no reply leaves its pieces empty.
ReadResult readFormulaText(ConfigModel& model, devlink::Link& link);

} // namespace config
