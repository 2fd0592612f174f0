#include "write/Register.h"

#include "app/Workbench.h"

namespace writing {

void registerWriteOperations(app::Workbench& bench) {
    (void)bench;
}

} // namespace writing
