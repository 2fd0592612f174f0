#include "write/Totalizers.h"

#include "link/Encodings.h"
#include "link/Link.h"

#include <cmath>

namespace writing {

std::optional<std::uint32_t> totalizerValue(const QString& text) {
    const std::string typed = text.toStdString();
    if (!enc::isNumeric(typed))
        return std::nullopt;
    const double value = enc::val(typed);
    if (value < 0 || std::round(value) > 16777215.0)
        return std::nullopt;
    return static_cast<std::uint32_t>(std::llround(value));
}

RegisterResult setTotalizer(config::ConfigModel& model, devlink::Link& link, int channel) {
    if (link.inProgress())
        return RegisterResult::Busy;
    devlink::OperationUi& ui = link.ui();
    const std::optional<std::uint32_t> total = totalizerValue(model.totalizer[channel - 1]);
    if (!total) {
        refuseInput(ui, std::string("Totalizer Ch. ") + (channel == 1 ? "A" : "B") +
                            ": enter a whole number from 0 to 16777215.");
        return RegisterResult::Refused;
    }
    const devlink::Answer answer =
        ui.message("This action will set the totalizer value.\r\nValue will be overwritten, would you like to continue?",
                   "Quorvane Totalizer", devlink::Icon::None, devlink::Buttons::YesNo, devlink::Answer::Yes);
    if (answer != devlink::Answer::Yes)
        return RegisterResult::Declined;

    constexpr auto window = devlink::ProgressWindow::SettingProgress;
    devlink::Link::PanelLock lock(link);
    ui.showProgress(window, "Resetting Quorvane Totalizer");
    ui.setProgressRange(window, 0, 4);
    ui.setProgressValue(window, 0);
    ui.setProgressLabel(window, "Resetting Totalizer CH. " + enc::plainNumber(channel) + "...");
    model.totalizer[channel - 1] = QString::fromStdString(enc::zeroPadded(*total, 6));
    model.notifyChanged();

    const std::string bytes = enc::hexRight(*total, 6);
    const char* const prefixes[2][3] = {{"b35", "b36", "b37"}, {"b45", "b46", "b47"}};
    RegisterResult result = RegisterResult::Sent;
    for (int b = 0; b < 3; ++b) {
        ui.setProgressValue(window, b + 1);
        const devlink::Written written =
            link.wakeUpWrite(prefixes[channel - 1][b] + bytes.substr(static_cast<std::size_t>(b) * 2, 2));
        if (written != devlink::Written::Sent) {
            result = written == devlink::Written::Busy ? RegisterResult::Busy : RegisterResult::NotConnected;
            break;
        }
        link.pauseTwoTicks();
    }
    if (result == RegisterResult::Sent)
        ui.setProgressValue(window, 4);
    link.closePort();
    ui.closeProgress(window);
    return result;
}

} // namespace writing
