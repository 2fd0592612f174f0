#include "app/Session.h"
#include "app/Wiring.h"
#include "download/Register.h"
#include "files/Register.h"
#include "linearization/Register.h"
#include "write/Register.h"

namespace app {

// A new subsystem adds its registration here, and nothing else in the application shell.
void registerSubsystems(Workbench& bench) {
    registerReadOperations(bench);
    writing::registerWriteOperations(bench);
    download::registerDownload(bench);
    files::registerFiles(bench);
    linearization::registerLinearization(bench);
}

} // namespace app
