#include "linearization/Register.h"

#include "app/Workbench.h"
#include "linearization/Panel.h"

namespace linearization {

void registerLinearization(app::Workbench& bench) {
    attachLinearization(bench);
}

} // namespace linearization
