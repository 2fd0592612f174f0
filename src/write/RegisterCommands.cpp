#include "write/RegisterCommands.h"

#include "app/Workbench.h"
#include "write/ClockSetting.h"
#include "write/RegisterWrites.h"
#include "write/ServiceWindow.h"
#include "write/Totalizers.h"

namespace writing {

void registerRegisterCommands(app::Workbench& bench) {
    using app::Command;
    config::ConfigModel& model = bench.model();
    devlink::Link& link = bench.link();

    bench.setCommandHandler(Command::SysTime, [&model, &bench] { useSystemTime(model, bench.ui()); });
    bench.setCommandHandler(Command::SetTime, [&model, &link] { setClock(model, link); });
    if (model.instrumentKind == config::InstrumentKind::Quorvane) {
        bench.setCommandHandler(Command::SetRate, [&model, &link] { setRate(model, link); });
        bench.setCommandHandler(Command::BlockReset, [&model] { resetBlock(model); });
        bench.setCommandHandler(Command::ResetTotalizer1, [&model, &link] { setTotalizer(model, link, 1); });
        bench.setCommandHandler(Command::ResetTotalizer2, [&model, &link] { setTotalizer(model, link, 2); });
    } else {
        bench.setCommandHandler(Command::SetRec, [&model, &link] { setRecording(model, link); });
    }
    bench.setCommandHandler(Command::Service, [&bench] { showServiceWindow(bench); });
}

} // namespace writing
