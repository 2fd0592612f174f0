#include "download/Register.h"

#include "app/Workbench.h"

namespace download {

void registerDownload(app::Workbench& bench) {
    (void)bench;
}

} // namespace download
