#include "files/Register.h"

#include "app/Workbench.h"
#include "files/ConfigFiles.h"

namespace files {

void registerFiles(app::Workbench& bench) {
    (void)bench;
    registerConfigFiles(bench);
}

} // namespace files
