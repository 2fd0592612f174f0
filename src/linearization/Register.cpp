#include "linearization/Register.h"

#include "app/Workbench.h"

namespace linearization {

void registerLinearization(app::Workbench& bench) {
    (void)bench;
}

} // namespace linearization
