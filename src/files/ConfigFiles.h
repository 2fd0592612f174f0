#pragma once

namespace app {
class Workbench;
}

namespace files {

// cmdSave and cmdLoad, and the key rules of the scale grids.
void registerConfigFiles(app::Workbench& bench);

// The save and load dialogs and what follows them, for the instrument the model is for.
void saveConfiguration(app::Workbench& bench);
void loadConfiguration(app::Workbench& bench);

} // namespace files
