#pragma once

namespace app {
class Workbench;
}

namespace download {

// Attaches this subsystem's commands and windows to the program.
void registerDownload(app::Workbench& bench);

} // namespace download
