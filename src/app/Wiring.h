#pragma once

namespace app {

class Workbench;

// The configuration reads and queries on the main window's controls.
void registerReadOperations(Workbench& bench);

} // namespace app
