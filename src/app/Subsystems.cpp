#include "app/Session.h"
#include "app/Wiring.h"

namespace app {

// A new subsystem adds its registration here, and nothing else in the application shell.
void registerSubsystems(Workbench& bench) {
    registerReadOperations(bench);
}

} // namespace app
