#include "write/Register.h"

#include "app/Workbench.h"
#include "write/ConfigurationWrites.h"

namespace writing {

void registerWriteOperations(app::Workbench& bench) {
    (void)bench;
    registerConfigurationWrites(bench);
}

} // namespace writing
