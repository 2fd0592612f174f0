#pragma once

#include "config/ConfigModel.h"

namespace writing {

// "Insert default Configuration": every scale of the read-out unit's table and the flow unit's
// channel fields get their default texts, whichever instrument is chosen. No traffic; the
// linearisation constants are left as they are.
void loadDefaults(config::ConfigModel& model);

} // namespace writing
