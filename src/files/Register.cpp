#include "files/Register.h"

#include "app/Workbench.h"
#include "files/ConfigFiles.h"
#include "files/PresetWindow.h"

namespace files {

void registerFiles(app::Workbench& bench) {
    registerPresets(bench);
    registerConfigFiles(bench);
}

} // namespace files
