#pragma once

namespace devlink {
class Link;
}

namespace app {

class MainWindow;

// Attaches the device operations to the main window's controls, once the window exists.
// Each operation goes in with window.setCommandHandler(Command::..., handler).
void wireOperations(MainWindow& window, devlink::Link& link);

} // namespace app
