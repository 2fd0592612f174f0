#include "app/Wiring.h"

#include "app/MainWindow.h"
#include "link/Link.h"

namespace app {

void wireOperations(MainWindow& window, devlink::Link& link) {
    // No device operation exists yet; every command control stays disabled until one is set here.
    (void)window;
    (void)link;
}

} // namespace app
