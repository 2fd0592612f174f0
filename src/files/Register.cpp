#include "files/Register.h"

#include "app/Workbench.h"

namespace files {

void registerFiles(app::Workbench& bench) {
    (void)bench;
}

} // namespace files
