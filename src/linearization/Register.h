#pragma once

namespace app {
class Workbench;
}

namespace linearization {

// Attaches this subsystem's commands and windows to the program.
void registerLinearization(app::Workbench& bench);

} // namespace linearization
