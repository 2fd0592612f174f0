#include "app/Wiring.h"

#include "app/MainWindow.h"
#include "config/Queries.h"
#include "config/ReadOperations.h"
#include "link/Link.h"

#include <QTabWidget>

namespace app {

void wireOperations(MainWindow& window, devlink::Link& link) {
    config::ConfigModel& model = window.model();
    const bool flowUnit = model.instrumentKind == config::InstrumentKind::Quorvane;

    // The grids fill range by range; the range being read comes to the front so the user sees it.
    auto showRange = [&window](int range) {
        if (auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("ScaleTab")))
            tabs->setCurrentIndex(range - 1);
    };

    window.setCommandHandler(Command::ReadConfig,
                             [&model, &link, showRange] { config::readConfiguration(model, link, showRange); });
    window.setCommandHandler(Command::GetTime, [&model, &link] { config::getTime(model, link); });
    if (flowUnit)
        window.setCommandHandler(Command::GetRate, [&model, &link] { config::getRate(model, link); });
    else
        window.setCommandHandler(Command::GetRec, [&model, &link] { config::getRecording(model, link); });
}

} // namespace app
