#include "config/Queries.h"

#include "config/ReplyFields.h"
#include "link/Encodings.h"
#include "link/Link.h"

#include <string>

namespace config {

namespace {

using devlink::Link;
using devlink::Reply;
using devlink::Wake;
using enc::midChars;
namespace limits = devlink::limits;

QueryResult failed(const Reply& reply) {
    return reply.refused() ? QueryResult::Busy : QueryResult::NotConnected;
}

} // namespace

QueryResult queryClock(ConfigModel& model, Link& link) {
    // The clock query names the read-out unit whichever instrument is chosen.
    const Reply reply = link.exchange(devlink::Exchange::clockQuery(devlink::lumatrixNotConnected));
    if (!reply.woke())
        return failed(reply);
    decodeClockReply(model, reply.text);
    model.notifyChanged();
    return reply.text.empty() ? QueryResult::NoAnswer : QueryResult::Answered;
}

QueryResult getTime(ConfigModel& model, Link& link) {
    if (link.inProgress())
        return QueryResult::Busy;
    Link::PanelLock lock(link);
    return queryClock(model, link);
}

QueryResult getRecording(ConfigModel& model, Link& link) {
    if (link.inProgress())
        return QueryResult::Busy;
    Link::PanelLock lock(link);
    const Reply reply = link.exchange(devlink::Exchange::registerQuery("B00"));
    if (!reply.woke())
        return failed(reply);
    if (!decodeRecordingReply(model, reply.text))
        return QueryResult::NoAnswer;
    model.notifyChanged();
    return QueryResult::Answered;
}

QueryResult queryConverterType(ConfigModel& model, Link& link) {
    if (link.inProgress())
        return QueryResult::Busy;
    model.fixedRangeCode.clear();
    const Reply reply = link.exchange(devlink::Exchange::registerQuery("B02"));
    if (!reply.woke())
        return failed(reply);
    model.fixedRangeCode = latin1(midChars(reply.text, 8, 1));
    model.notifyChanged();
    return model.fixedRangeCode.isEmpty() ? QueryResult::NoAnswer : QueryResult::Answered;
}

QueryResult queryRecordingScales(ConfigModel& model, Link& link) {
    const Reply reply = link.exchange(devlink::Exchange::registerQuery("B10"));
    if (!reply.woke())
        return failed(reply);
    model.channelRange[0] = latin1(midChars(reply.text, 25, 2));
    model.channelGain[0] = latin1(midChars(reply.text, 28, 2));
    model.channelRange[1] = latin1(midChars(reply.text, 31, 2));
    model.channelGain[1] = latin1(midChars(reply.text, 34, 2));
    model.notifyChanged();
    return reply.text.size() >= 35 ? QueryResult::Answered : QueryResult::NoAnswer;
}

void getRate(ConfigModel& model, Link& link) {
    if (link.inProgress())
        return;
    constexpr auto window = devlink::ProgressWindow::Progress;
    devlink::OperationUi& ui = link.ui();

    model.nextBlockText.clear();
    model.rateIndex = -1;
    for (QString& total : model.totalizer)
        total.clear();
    model.notifyChanged();

    {
        Link::PanelLock lock(link);
        ui.showProgress(window, "Downloading...");
        ui.setProgressRange(window, 0, 9);
        int bar = 0;
        auto advance = [&](int steps) {
            bar += steps;
            ui.setProgressValue(window, bar);
        };

        // Rate. When the wake-up fails the port is closed, so nothing is sent and nothing read: the
        // empty reply selects the first rate.
        link.wakeUp(devlink::quorvaneNotConnected);
        advance(1);
        link.send("I");
        Reply reply = link.readLineToCr(limits::memoryReply);
        link.closePort();
        model.rateIndex = flowRateIndex(reply.text);
        model.notifyChanged();
        advance(1);

        // Next block: skipped when the instrument did not wake.
        if (link.wakeUp(devlink::quorvaneNotConnected) == Wake::Awake) {
            advance(2);
            link.ensureOpen();
            link.send("B00");
            reply = link.readLineToCr(limits::memoryReply);
            link.closePort();
            const auto block = static_cast<int>(enc::hexToWordValue(
                std::string(midChars(reply.text, 10, 2)) + std::string(midChars(reply.text, 13, 2))));
            model.nextBlock = block;
            model.nextBlockText = latin1(enc::zeroPadded(block, 4));
            model.notifyChanged();
            advance(1);
        }

        // Totalisers; the sign pairs in front of the values are not shown.
        link.wakeUp(devlink::quorvaneNotConnected);
        advance(1);
        link.send("B30");
        reply = link.readLineToCr(limits::memoryReply);
        link.closePort();
        auto total = [&](std::size_t first) {
            const std::string digits = std::string(midChars(reply.text, first, 2)) +
                                       std::string(midChars(reply.text, first + 3, 2)) +
                                       std::string(midChars(reply.text, first + 6, 2));
            return latin1(enc::zeroPadded(enc::hexToTripleValue(digits), 6));
        };
        model.totalizer[0] = total(16);
        model.totalizer[1] = total(28);
        model.notifyChanged();
        advance(1);
    }
    ui.closeProgress(window);
}

} // namespace config
