#include "download/Register.h"

#include "app/Workbench.h"
#include "download/BlockWindow.h"

namespace download {

void registerDownload(app::Workbench& bench) {
    registerBlockWindow(bench);
}

} // namespace download
