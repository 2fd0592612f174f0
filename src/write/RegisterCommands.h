#pragma once

namespace app {
class Workbench;
}

namespace writing {

// The register, clock and totaliser buttons of the main window and the Service menu.
void registerRegisterCommands(app::Workbench& bench);

} // namespace writing
