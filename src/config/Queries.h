#pragma once

// The short questions to the instruments: clock, recording setting, converter type, recording
// scales, and the flow unit's rate, next block and totalisers. Each fills the model; none
// touches a widget.

#include "config/ConfigModel.h"

namespace devlink {
class Link;
}

namespace config {

enum class QueryResult {
    Answered,     // the reply was taken into the model
    NoAnswer,     // the instrument woke but its reply was missing or unusable (see each query)
    NotConnected, // no "!" to the wake-up: the "not connected!" box was shown, model unchanged
    Busy,         // another exchange was running; nothing was done
};

// The "Get Date & Time" button (both instruments): the clock query between locked panels.
QueryResult getTime(ConfigModel& model, devlink::Link& link);
// The clock query "H" alone, for callers that lock the panels themselves (the clock setting).
// A reply time-out empties date and time.
QueryResult queryClock(ConfigModel& model, devlink::Link& link);

// The "Get Recording rate from Device" button of the read-out unit ("B00"). The window shows
// the result from the model: recordingOff hides and disables the rate list, disables both
// channel options and the "Set" button (cmdSetRec); otherwise all three are enabled, the rate
// list shows lumatrixRateIndex and option recChannel is selected. A reply shorter than 17
// characters, or with an unknown rate code, leaves the model unchanged (NoAnswer).
QueryResult getRecording(ConfigModel& model, devlink::Link& link);

// The converter-type query "B02": fixedRangeCode is emptied first, then set to character 8 of
// the reply. An empty code afterwards means the instrument did not answer.
QueryResult queryConverterType(ConfigModel& model, devlink::Link& link);

// The recording-scales query "B10" of the read-out unit's download: channelRange and
// channelGain of both channels as the two-character codes of the reply.
QueryResult queryRecordingScales(ConfigModel& model, devlink::Link& link);

// The flow unit's "Get" button of its acquisition data: rate "I", next block "B00" and
// totalisers "B30", each after its own wake-up, under the "Downloading..." progress window.
// Once the first wake-up is answered the next block and totalisers are emptied and refilled as
// their replies come. The first unanswered wake-up ends the whole operation with one "Quorvane not
// connected!" and no further byte (NotConnected); an absent instrument leaves every field as it was.
QueryResult getRate(ConfigModel& model, devlink::Link& link);

} // namespace config
