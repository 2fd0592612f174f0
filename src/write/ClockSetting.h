#pragma once

// The clock frame's two buttons: the computer's clock into the boxes, and the boxes into the
// read-out unit's clock followed by the clock query that shows what the unit now holds.

#include "config/ConfigModel.h"
#include "write/RegisterWrites.h"

#include <optional>
#include <string>

namespace devlink {
class Link;
class OperationUi;
} // namespace devlink

namespace writing {

// "Use System Time": date dd-mm-yy and time hh:mm:ss (24-hour) from the calendar, digits only, so
// the regional settings never change them. No traffic.
void useSystemTime(config::ConfigModel& model, devlink::OperationUi& ui);

// The clock command for boxes holding a real date dd-mm-yy and time hh:mm:ss: "h" + yy-mm-dd,
// one space, the time. Nothing for anything else.
std::optional<std::string> clockCommand(const QString& date, const QString& time);

// "Set clock in the unit": refuses boxes that are not a real dd-mm-yy / hh:mm:ss (one message,
// nothing sent, the boxes keep the user's text). Otherwise sends the clock command with the full
// wake-up; when it went out, empties the boxes and runs the clock query, which fills them with
// what the unit holds. When the command could not be sent, the query is not run and the boxes
// keep what the user typed.
RegisterResult setClock(config::ConfigModel& model, devlink::Link& link);

} // namespace writing
