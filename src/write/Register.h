#pragma once

namespace app {
class Workbench;
}

namespace writing {

// Attaches this subsystem's commands and windows to the program.
void registerWriteOperations(app::Workbench& bench);

} // namespace writing
