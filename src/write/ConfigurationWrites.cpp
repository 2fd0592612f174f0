#include "write/ConfigurationWrites.h"

#include "app/Workbench.h"
#include "config/Queries.h"
#include "link/Encodings.h"
#include "link/Link.h"
#include "write/Defaults.h"
#include "write/FlowConversion.h"
#include "write/MemoryWrites.h"
#include "write/ScaleWrites.h"

#include <QTabWidget>
#include <QWidget>

#include <array>

namespace writing {

namespace {

using config::ConfigModel;
using config::InstrumentKind;
using devlink::Written;

constexpr auto settingWindow = devlink::ProgressWindow::SettingProgress;
constexpr int flowInputRange = 6;

void refuse(devlink::Link& link, const std::string& text) {
    link.ui().message(text, settingErrorTitle, devlink::Icon::Exclamation, devlink::Buttons::Ok);
}

void showScaleProgress(devlink::OperationUi& ui, int range, int minimum, int maximum) {
    ui.showProgress(settingWindow, "Setting Scale" + enc::spacedNumber(range) + "...");
    ui.setProgressLabel(settingWindow, "");
    ui.setProgressRange(settingWindow, minimum, maximum);
    ui.setProgressValue(settingWindow, minimum);
}

SetResult finished(Written written) {
    switch (written) {
    case Written::Sent:
        return SetResult::Completed;
    case Written::NotConnected:
        return SetResult::NotConnected;
    case Written::Busy:
        break;
    }
    return SetResult::Busy;
}

// Ends a write on every way out: progress window and port closed.
SetResult finish(devlink::Link& link, Written written) {
    link.ui().closeProgress(settingWindow);
    link.closePort();
    return finished(written);
}

// Asks for the converter type; Completed when `range` (0: every range) may be written. Shows the
// refusal for a unit fixed to another type.
SetResult converterTypeAllows(ConfigModel& model, devlink::Link& link, int range) {
    switch (config::queryConverterType(model, link)) {
    case config::QueryResult::NotConnected:
        return SetResult::NotConnected;
    case config::QueryResult::Busy:
        return SetResult::Busy;
    case config::QueryResult::NoAnswer:
        return SetResult::NoAnswer;
    case config::QueryResult::Answered:
        break;
    }
    const QString& code = model.fixedRangeCode;
    if (code == QLatin1String("0") || (range > 0 && code == QString::number(range)))
        return SetResult::Completed;
    refuse(link, fixedTypeRefusal(code));
    return SetResult::Refused;
}

SetResult setAllLumatrix(ConfigModel& model, devlink::Link& link) {
    std::array<ScaleWrites, config::RangeCount> ranges;
    for (int range = 1; range <= config::RangeCount; ++range) {
        ranges[range - 1] = rangeScaleWrites(model, range);
        if (ranges[range - 1].refused()) {
            refuse(link, ranges[range - 1].refusal);
            return SetResult::Refused;
        }
    }
    if (const SetResult allowed = converterTypeAllows(model, link, 0); allowed != SetResult::Completed)
        return allowed;
    devlink::OperationUi& ui = link.ui();
    for (int range = 1; range <= config::RangeCount; ++range) {
        showScaleProgress(ui, range, 0, config::GainCount);
        if (const Written written = sendRangeScales(link, ranges[range - 1]); written != Written::Sent)
            return finish(link, written);
    }
    return finish(link, Written::Sent);
}

SetResult setAllQuorvane(ConfigModel& model, devlink::Link& link) {
    padUnitTexts(model);
    model.notifyChanged();
    const ScaleWrites scales = flowScaleWrites(model);
    const MemoryWrites conversion = flowConversionWrites(model);
    for (const std::string* refusal : {&scales.refusal, &conversion.refusal}) {
        if (!refusal->empty()) {
            refuse(link, *refusal);
            return SetResult::Refused;
        }
    }
    devlink::OperationUi& ui = link.ui();
    constexpr int barAfterScales = 3;
    showScaleProgress(ui, flowInputRange, 1, barAfterScales + static_cast<int>(conversion.commands.size()));
    Written written = sendFlowScales(link, scales);
    if (written == Written::Sent) {
        ui.setProgressLabel(settingWindow, "Setting flow conversion values...");
        written = sendFlowConversion(link, conversion, barAfterScales);
    }
    for (const ConstantText& constant : constantTexts(model)) {
        if (written != Written::Sent)
            break;
        written = sendTextBlock(link, latin1Bytes(constant.text), constant.address);
    }
    return finish(link, written);
}

} // namespace

std::string fixedTypeRefusal(const QString& code) {
    bool number = false;
    const int range = code.toInt(&number);
    const QString name = number && code.size() == 1 ? config::rangeName(range) : QString();
    return (QStringLiteral("Setting not allowed\r\nQTR-MZ Type: ") + (name.isEmpty() ? code : name))
        .toStdString();
}

SetResult setAll(ConfigModel& model, devlink::Link& link) {
    if (link.inProgress())
        return SetResult::Busy;
    devlink::Link::PanelLock lock(link);
    return model.instrumentKind == InstrumentKind::Lumatrix ? setAllLumatrix(model, link)
                                                            : setAllQuorvane(model, link);
}

SetResult setSingle(ConfigModel& model, devlink::Link& link, int range) {
    if (link.inProgress() || range < 1 || range > config::RangeCount)
        return SetResult::Busy;
    devlink::Link::PanelLock lock(link);
    const ScaleWrites writes = rangeScaleWrites(model, range);
    if (writes.refused()) {
        refuse(link, writes.refusal);
        return SetResult::Refused;
    }
    if (const SetResult allowed = converterTypeAllows(model, link, range); allowed != SetResult::Completed)
        return allowed;
    showScaleProgress(link.ui(), range, 0, config::GainCount);
    return finish(link, sendRangeScales(link, writes));
}

void registerConfigurationWrites(app::Workbench& bench) {
    ConfigModel& model = bench.model();
    devlink::Link& link = bench.link();
    bench.setCommandHandler(app::Command::Default, [&model] { loadDefaults(model); });
    bench.setCommandHandler(app::Command::SetAll, [&model, &link] { setAll(model, link); });
    if (model.instrumentKind != InstrumentKind::Lumatrix)
        return;
    QWidget* window = &bench.mainWindow();
    bench.setCommandHandler(app::Command::SetSingle, [&model, &link, window] {
        const auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("ScaleTab"));
        if (tabs && tabs->currentIndex() >= 0)
            setSingle(model, link, tabs->currentIndex() + 1);
    });
}

} // namespace writing
