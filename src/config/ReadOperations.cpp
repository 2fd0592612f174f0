#include "config/ReadOperations.h"

#include "config/Ask.h"
#include "config/ReplyFields.h"
#include "link/Encodings.h"
#include "link/Link.h"

#include <array>
#include <optional>
#include <string>

namespace config {

namespace {

using devlink::Link;
using devlink::OpenStatus;
using devlink::Outcome;
using devlink::Reply;
namespace limits = devlink::limits;

constexpr auto settingWindow = devlink::ProgressWindow::SettingProgress;

// The memory reads keep only the end of what arrived: whatever the instrument puts in front of
// the dump (an echo, a stray line end) falls away.
constexpr std::size_t scaleDumpLength = 50;
// The formula blocks are taken once this much of the dump has arrived.
constexpr int textBlockLength = 48;

std::string slotReadCommand(int range, int gain) {
    return "C00" + enc::scaleSlotAddressText(range, gain);
}

// The preset query that ends both configuration reads: a fresh port, one wake-up byte, "B10".
// Unlike the other reads there is no second wake-up byte here, but the wait for "!" has the same
// limit, so an unplugged instrument cannot hang the read.
ReadResult readPresets(ConfigModel& model, Link& link, const char* notConnectedMessage) {
    const Reply reply = link.exchange(devlink::Exchange::presetQuery(notConnectedMessage));
    if (!reply.woke())
        return ReadResult::NotConnected;
    if (reply.outcome != Outcome::Replied)
        return ReadResult::Stopped;
    decodePresetReply(model, reply.text);
    return ReadResult::Completed;
}

void showScaleProgress(devlink::OperationUi& ui, int range) {
    ui.showProgress(settingWindow, "Getting Scale" + enc::spacedNumber(range) + "...");
}

void showGainProgress(devlink::OperationUi& ui, int gain) {
    ui.setProgressLabel(settingWindow, "Receiving Gain" + enc::spacedNumber(gain));
    ui.setProgressValue(settingWindow, gain);
}

// Ends a read: progress window and port closed, unless the "not connected!" path already did.
ReadResult finishRead(ConfigModel& model, Link& link, ReadResult result) {
    if (result != ReadResult::NotConnected) {
        link.ui().closeProgress(settingWindow);
        link.closePort();
    }
    model.notifyChanged();
    return result;
}

ReadResult scaleTableSteps(ConfigModel& model, Link& link, const RangeShown& showRange) {
    devlink::OperationUi& ui = link.ui();
    if (link.openPort() != OpenStatus::Opened) {
        link.notConnected(devlink::lumatrixNotConnected, true);
        return ReadResult::NotConnected;
    }
    ui.setProgressRange(settingWindow, 0, GainCount);
    // The read tolerates one unanswered wake-up byte in total, not one per slot: an instrument
    // that keeps missing wake-ups is treated as gone.
    devlink::WakeBudget budget;
    for (int range = 1; range <= RangeCount; ++range) {
        if (showRange)
            showRange(range);
        showScaleProgress(ui, range);
        for (int gain = 1; gain <= GainCount; ++gain) {
            showGainProgress(ui, gain);
            if (gain == 1) {
                model.scale(range, 1) = factoryScale(range);
            } else {
                const std::optional<Reply> reply =
                    readSlot(link, budget, slotReadCommand(range, gain), devlink::lumatrixNotConnected);
                if (!reply)
                    return ReadResult::NotConnected;
                if (reply->outcome != Outcome::Replied)
                    return ReadResult::Stopped;
                model.scale(range, gain) = decodeGridScale(enc::rightChars(reply->text, scaleDumpLength));
            }
            model.notifyChanged();
        }
    }
    return readPresets(model, link, devlink::lumatrixNotConnected);
}

std::string textChunk(std::string_view dump, std::size_t firstByte) {
    return dumpChars(dump, firstByte, 8);
}

ReadResult flowConfigSteps(ConfigModel& model, Link& link, const RangeShown& showRange) {
    devlink::OperationUi& ui = link.ui();
    if (link.openPort() != OpenStatus::Opened) {
        link.notConnected(devlink::quorvaneNotConnected, true);
        return ReadResult::NotConnected;
    }
    ui.setProgressRange(settingWindow, 0, GainCount);

    // The analogue inputs: channel A in gain slot 2 of range 6, channel B in slot 3.
    constexpr int inputRange = 6;
    if (showRange)
        showRange(inputRange);
    showScaleProgress(ui, inputRange);
    devlink::WakeBudget budget; // over both inputs together
    for (int gain = 2; gain <= 3; ++gain) {
        showGainProgress(ui, gain);
        const std::optional<Reply> reply =
            readSlot(link, budget, slotReadCommand(inputRange, gain), devlink::quorvaneNotConnected);
        if (!reply)
            return ReadResult::NotConnected;
        if (reply->outcome != Outcome::Replied)
            return ReadResult::Stopped;
        decodeFlowInputScale(model.channel(gain - 1), enc::rightChars(reply->text, scaleDumpLength));
        model.notifyChanged();
    }

    // The conversion blocks; the first failed wake-up ends the read.
    int bar = 3;
    ui.showProgress(settingWindow, "Getting flow conversion values...");
    static constexpr std::array<const char*, 3> blockCommands{"C003FA0", "C003FB0", "C003FC0"};
    std::array<std::string, 3> blocks;
    for (std::size_t k = 0; k < blocks.size(); ++k) {
        ui.setProgressLabel(settingWindow, "Receiving Block" + enc::spacedNumber(static_cast<int>(k) + 1));
        ui.setProgressValue(settingWindow, ++bar);
        std::optional<Reply> reply = askAfterWakeUp(
            link, blockCommands[k], [&link] { return link.readBufferAfterPause(limits::memoryReply); });
        if (!reply) {
            ui.closeProgress(settingWindow); // the flow unit's WakeUp leaves it open
            return ReadResult::NotConnected;
        }
        if (reply->outcome != Outcome::Replied)
            return ReadResult::Stopped;
        blocks[k] = std::move(reply->text);
    }
    decodeConversionBlocks(model, blocks[0], blocks[1], blocks[2]);
    model.notifyChanged();

    ui.setProgressLabel(settingWindow, "Receiving linearization values...");
    ui.setProgressValue(settingWindow, ++bar);
    const ReadResult text = readFormulaText(model, link);
    model.notifyChanged();
    if (text == ReadResult::NotConnected) {
        ui.closeProgress(settingWindow);
        return text;
    }

    ui.showProgress(settingWindow, "Getting values...");
    ui.setProgressLabel(settingWindow, "Receiving Px values");
    return readPresets(model, link, devlink::quorvaneNotConnected);
}

} // namespace

ReadResult readConfiguration(ConfigModel& model, Link& link, const RangeShown& showRange) {
    if (model.instrumentKind == InstrumentKind::Quorvane)
        return readQuorvaneConfiguration(model, link, showRange);
    return readLumatrixConfiguration(model, link, showRange);
}

ReadResult readLumatrixConfiguration(ConfigModel& model, Link& link, const RangeShown& showRange) {
    if (link.inProgress())
        return ReadResult::Busy;
    const devlink::Answer answer = link.ui().message(
        "This action could take a few minutes.\r\n        Would you like to continue?",
        "Getting Device Configuration", devlink::Icon::None, devlink::Buttons::YesNo, devlink::Answer::Yes);
    ReadResult result = ReadResult::Declined;
    if (answer == devlink::Answer::Yes) {
        Link::PanelLock lock(link);
        result = readScaleTable(model, link, showRange);
    }
    model.configRead = true;
    model.notifyChanged();
    return result;
}

ReadResult readQuorvaneConfiguration(ConfigModel& model, Link& link, const RangeShown& showRange) {
    if (link.inProgress())
        return ReadResult::Busy;
    ReadResult result;
    {
        Link::PanelLock lock(link);
        model.clearConfigFields();
        model.notifyChanged();
        result = readFlowConfig(model, link, showRange);
    }
    model.configRead = true;
    model.notifyChanged();
    return result;
}

ReadResult readScaleTable(ConfigModel& model, Link& link, const RangeShown& showRange) {
    if (link.inProgress())
        return ReadResult::Busy;
    return finishRead(model, link, scaleTableSteps(model, link, showRange));
}

ReadResult readFlowConfig(ConfigModel& model, Link& link, const RangeShown& showRange) {
    if (link.inProgress())
        return ReadResult::Busy;
    return finishRead(model, link, flowConfigSteps(model, link, showRange));
}

ReadResult readScaleDecimals(ConfigModel& model, Link& link, int range, int gain, int channel) {
    if (link.inProgress())
        return ReadResult::Busy;
    if (channel < 1 || channel > 2)
        return ReadResult::Stopped;
    const Reply reply = link.exchangeBuffered(devlink::Exchange::memoryRead(slotReadCommand(range, gain)));
    if (reply.notConnected())
        return ReadResult::NotConnected;
    model.channelDP[static_cast<std::size_t>(channel - 1)] =
        latin1(enc::midChars(enc::rightChars(reply.text, scaleDumpLength), 2, 1));
    link.ui().closeProgress(settingWindow);
    model.notifyChanged();
    return reply.outcome == Outcome::Replied ? ReadResult::Completed : ReadResult::Stopped;
}

ReadResult readFormulaText(ConfigModel& model, Link& link) {
    FlowChannel& a = model.channel(1);
    a.formula.clear();
    static constexpr std::array<const char*, 3> blockCommands{"C003FD0", "C003FE0", "C003FF0"};
    for (std::size_t b = 0; b < blockCommands.size(); ++b) {
        // The first unanswered WakeUp ends the read; a silent reply leaves its pieces empty.
        const std::optional<Reply> reply = askAfterWakeUp(
            link, blockCommands[b], [&link] { return link.readBuffer(limits::memoryReply, textBlockLength); });
        if (!reply)
            return ReadResult::NotConnected;
        const std::string block = reply->outcome == Outcome::Replied ? reply->text : std::string();
        const std::string first = textChunk(block, 0);
        const std::string second = textChunk(block, 8);
        const QString firstTrimmed = latin1(enc::trimSpaces(first));
        const QString secondTrimmed = latin1(enc::trimSpaces(second));
        a.formula += firstTrimmed + secondTrimmed;
        switch (b) {
        case 0:
            a.a = firstTrimmed;
            a.k = secondTrimmed;
            break;
        case 1:
            a.t = firstTrimmed;
            a.zero = secondTrimmed;
            break;
        default:
            model.text1 += latin1(first) + QStringLiteral("\r\n") + latin1(second) + QStringLiteral("\r\n");
            break;
        }
    }
    return ReadResult::Completed;
}

} // namespace config
