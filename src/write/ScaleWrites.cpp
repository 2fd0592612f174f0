#include "write/ScaleWrites.h"

#include "link/Encodings.h"

#include <cmath>

namespace writing {

namespace {

constexpr auto settingWindow = devlink::ProgressWindow::SettingProgress;
constexpr int flowInputRange = 6; // the flow unit keeps its inputs in gain slots 2 and 3 of range 6

const QString scaleAccepted = QStringLiteral("-65535 ... +65535 (the digits without the decimal point)");

// The scale of one slot, checked; false with the refusal filled when a value cannot be written.
bool slotWrite(int range, int gain, const config::Scale& scale, int dpCode, const QString& where,
               ScaleWrites& writes) {
    if (!checkScaleValue(scale.start, where + QStringLiteral("Start Scale"), writes.refusal) ||
        !checkScaleValue(scale.end, where + QStringLiteral("End Scale"), writes.refusal)) {
        writes.gainSlots.clear();
        return false;
    }
    const enc::ScaleRecord record =
        enc::scaleRecordFromTexts(enc::plainNumber(dpCode), latin1Bytes(scale.start), latin1Bytes(scale.end),
                                  latin1Bytes(scale.label), latin1Bytes(scale.unit));
    writes.gainSlots.push_back({gain, enc::scaleWriteCommand(range, gain, record)});
    return true;
}

devlink::Written sendScales(devlink::Link& link, const ScaleWrites& writes, const char* notConnectedMessage) {
    devlink::OperationUi& ui = link.ui();
    // One budget for the whole call: a slot whose "!" came only after a lone CR has used up the
    // tolerance of every later slot of the same call.
    devlink::WakeBudget budget;
    for (const ScaleSlotWrite& slot : writes.gainSlots) {
        ui.setProgressLabel(settingWindow, "Setting Gain" + enc::spacedNumber(slot.gain) + "...");
        ui.setProgressValue(settingWindow, slot.gain);
        const devlink::Written written = link.write({.command = slot.command,
                                                     .notConnectedMessage = notConnectedMessage,
                                                     .keepOpen = true,
                                                     .closeSettingProgressOnFailure = true,
                                                     .budget = &budget});
        if (written != devlink::Written::Sent)
            return written;
    }
    link.closePort();
    return devlink::Written::Sent;
}

} // namespace

std::string latin1Bytes(const QString& text) {
    std::string bytes;
    for (char32_t c : text.toUcs4())
        bytes += c <= 0xFF ? static_cast<char>(c) : '?';
    return bytes;
}

std::string refusalText(const QString& where, const QString& problem, const QString& accepted) {
    return (where + QStringLiteral(": ") + problem + QStringLiteral(".\r\nAccepted: ") + accepted +
            QStringLiteral("."))
        .toStdString();
}

QString cannotWrite(const QString& shown) {
    return QLatin1Char('"') + shown + QStringLiteral("\" cannot be written");
}

bool checkScaleValue(const QString& text, const QString& where, std::string& refusal) {
    const std::string digits = enc::removeChars(latin1Bytes(text), ".,");
    bool fits = enc::trimSpaces(digits).empty();
    if (!fits && enc::isNumeric(digits)) {
        const double value = enc::val(digits);
        fits = value == std::floor(value) && enc::scaleNumberFits(enc::scaleNumberFromText(digits));
    }
    if (!fits)
        refusal = refusalText(where, cannotWrite(text), scaleAccepted);
    return fits;
}

ScaleWrites rangeScaleWrites(const config::ConfigModel& model, int range) {
    ScaleWrites writes;
    for (int gain = model.serviceUnlocked ? 1 : 2; gain <= config::GainCount; ++gain) {
        const config::Scale& scale = model.scale(range, gain);
        const QString place = QStringLiteral("Scale ") + config::rangeName(range) + QStringLiteral(", Gain") +
                              QString::fromStdString(enc::spacedNumber(gain)) + QStringLiteral(", ");
        if (!slotWrite(range, gain, scale, enc::dpCodeFromText(latin1Bytes(scale.decimalPoint)), place,
                       writes))
            break;
    }
    return writes;
}

ScaleWrites flowScaleWrites(const config::ConfigModel& model) {
    ScaleWrites writes;
    for (int i = 1; i <= config::FlowChannelCount; ++i) {
        const config::FlowChannel& c = model.channel(i);
        const config::Scale scale{{}, c.startScale, c.endScale, c.label, c.unitAD};
        const int dpCode = c.dpAD >= 1 && c.dpAD <= 5 ? c.dpAD : 0;
        const QString place = QStringLiteral("Channel ") + QLatin1Char(i == 1 ? 'A' : 'B') +
                              QStringLiteral(", A/D Conversion ");
        if (!slotWrite(flowInputRange, i + 1, scale, dpCode, place, writes))
            break;
    }
    return writes;
}

devlink::Written sendRangeScales(devlink::Link& link, const ScaleWrites& writes) {
    return sendScales(link, writes, devlink::lumatrixNotConnected);
}

devlink::Written sendFlowScales(devlink::Link& link, const ScaleWrites& writes) {
    return sendScales(link, writes, devlink::quorvaneNotConnected);
}

} // namespace writing
