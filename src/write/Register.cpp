#include "write/Register.h"

#include "app/Workbench.h"
#include "write/RegisterCommands.h"

namespace writing {

void registerWriteOperations(app::Workbench& bench) {
    (void)bench;
    registerRegisterCommands(bench);
}

} // namespace writing
