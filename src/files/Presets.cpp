#include "files/Presets.h"

#include "config/ReplyFields.h"
#include "link/Encodings.h"
#include "link/Link.h"

namespace files {

namespace {

constexpr int highestScale = config::RangeCount * config::GainCount;

void refuse(devlink::OperationUi& ui, const std::string& text) {
    ui.message(text, "Px Setting error", devlink::Icon::Exclamation, devlink::Buttons::Ok);
}

} // namespace

PresetDigits presetDigits(int scaleNumber) {
    const int range = (scaleNumber - 1) / config::GainCount;
    return {range, scaleNumber - config::GainCount * range - 1};
}

QString presetBoxText(const config::Preset& preset) {
    if (!preset.assigned())
        return {};
    return QString::number(config::scaleNumber(*preset.range, *preset.gain));
}

std::optional<QString> presetBoxNumber(const QString& typed) {
    const QString text = typed.trimmed();
    qsizetype at = 0;
    bool negative = false;
    if (!text.isEmpty() && (text[0] == u'+' || text[0] == u'-')) {
        negative = text[0] == u'-';
        at = 1;
    }
    if (at == text.size())
        return std::nullopt;
    int value = 0;
    for (; at < text.size(); ++at) {
        const QChar c = text[at];
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = std::min(value * 10 + (c.unicode() - u'0'), highestScale + 1);
    }
    if (negative || value < 1)
        return QStringLiteral("1");
    return QString::number(std::min(value, highestScale));
}

config::QueryResult getPresets(config::ConfigModel& model, devlink::Link& link) {
    if (link.inProgress())
        return config::QueryResult::Busy;
    devlink::Link::PanelLock lock(link);
    const devlink::Reply reply = link.exchange(devlink::Exchange::presetQuery(devlink::lumatrixNotConnected));
    if (!reply.woke())
        return reply.refused() ? config::QueryResult::Busy : config::QueryResult::NotConnected;
    // The last preset's gain digit stands at 23: a shorter reply would leave presets undecided.
    if (reply.text.size() < 23)
        return config::QueryResult::NoAnswer;
    config::decodePresetReply(model, reply.text);
    model.notifyChanged();
    return config::QueryResult::Answered;
}

writing::RegisterResult sendPresets(const config::ConfigModel& model, devlink::Link& link,
                                    const std::array<QString, config::PresetCount>& boxes) {
    using writing::RegisterResult;
    if (link.inProgress())
        return RegisterResult::Busy;
    devlink::OperationUi& ui = link.ui();

    std::array<std::optional<int>, config::PresetCount> numbers;
    for (int k = 1; k <= config::PresetCount; ++k) {
        const QString text = boxes[k - 1].trimmed();
        if (text.isEmpty())
            continue;
        const std::optional<QString> shown = presetBoxNumber(text);
        if (!shown || *shown != text) {
            refuse(ui, "P" + std::to_string(k) + " value must be a scale number from 1 to 48");
            return RegisterResult::Refused;
        }
        numbers[k - 1] = shown->toInt();
    }

    const QString code = model.fixedRangeCode;
    if (code != QLatin1String("0")) {
        const int fixed = code.size() == 1 ? code[0].unicode() - u'0' : 0;
        if (fixed < 1 || fixed > config::RangeCount) {
            refuse(ui, "The converter type of the unit is unknown: open this window again");
            return RegisterResult::Refused;
        }
        const int lo = (fixed - 1) * config::GainCount + 1;
        const int hi = lo + config::GainCount - 1;
        for (int k = 1; k <= config::PresetCount; ++k) {
            if (numbers[k - 1] && (*numbers[k - 1] < lo || *numbers[k - 1] > hi)) {
                refuse(ui, "P" + std::to_string(k) + " value is not inside the scale " +
                               config::rangeName(fixed).toStdString());
                return RegisterResult::Refused;
            }
        }
    }

    constexpr auto window = devlink::ProgressWindow::Progress;
    devlink::Link::PanelLock lock(link);
    ui.showProgress(window, "Sending Px Configuration");
    ui.setProgressRange(window, 1, 4);
    RegisterResult result = RegisterResult::Sent;
    for (int k = 1; k <= config::PresetCount && result == RegisterResult::Sent; ++k) {
        ui.setProgressValue(window, k);
        if (!numbers[k - 1])
            continue;
        const PresetDigits digits = presetDigits(*numbers[k - 1]);
        // P1 and P2 also go to the registers that follow the four presets.
        for (int reg : {10 + 2 * (k - 1), 18 + 2 * (k - 1)}) {
            if (reg >= 18 && k >= 3)
                break;
            const devlink::Written written = writing::sendPresetPair(link, reg, digits.range, digits.gain);
            if (written != devlink::Written::Sent) {
                result = written == devlink::Written::Busy ? RegisterResult::Busy : RegisterResult::NotConnected;
                break;
            }
        }
    }
    ui.closeProgress(window);
    return result;
}

} // namespace files
