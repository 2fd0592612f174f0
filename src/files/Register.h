#pragma once

namespace app {
class Workbench;
}

namespace files {

// Attaches this subsystem's commands and windows to the program.
void registerFiles(app::Workbench& bench);

} // namespace files
