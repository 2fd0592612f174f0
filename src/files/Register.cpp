#include "files/Register.h"

#include "app/Workbench.h"
#include "files/PresetWindow.h"

namespace files {

void registerFiles(app::Workbench& bench) {
    (void)bench;
    registerPresets(bench);
}

} // namespace files
