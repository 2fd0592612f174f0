#pragma once

namespace app {

// Runs the program: splash, instrument choice, main window, until the user leaves.
int runApplication(int argc, char** argv);

} // namespace app
