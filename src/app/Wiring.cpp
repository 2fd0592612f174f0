#include "app/Wiring.h"

#include "app/Workbench.h"
#include "config/ConfigModel.h"
#include "config/Queries.h"
#include "config/ReadOperations.h"

#include <QTabWidget>
#include <QWidget>

namespace app {

void registerReadOperations(Workbench& bench) {
    config::ConfigModel& model = bench.model();
    devlink::Link& link = bench.link();
    const bool flowUnit = model.instrumentKind == config::InstrumentKind::Quorvane;

    // The grids fill range by range; the range being read comes to the front so the user sees it.
    QWidget* window = &bench.mainWindow();
    auto showRange = [window](int range) {
        if (auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("ScaleTab")))
            tabs->setCurrentIndex(range - 1);
    };

    bench.setCommandHandler(Command::ReadConfig,
                            [&model, &link, showRange] { config::readConfiguration(model, link, showRange); });
    bench.setCommandHandler(Command::GetTime, [&model, &link] { config::getTime(model, link); });
    if (flowUnit)
        bench.setCommandHandler(Command::GetRate, [&model, &link] { config::getRate(model, link); });
    else
        bench.setCommandHandler(Command::GetRec, [&model, &link] { config::getRecording(model, link); });
}

} // namespace app
