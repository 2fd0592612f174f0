#include "write/Register.h"

#include "app/Workbench.h"
#include "write/ConfigurationWrites.h"
#include "write/RegisterCommands.h"

namespace writing {

void registerWriteOperations(app::Workbench& bench) {
    registerConfigurationWrites(bench);
    registerRegisterCommands(bench);
}

} // namespace writing
