#include "config/Queries.h"

#include "config/Ask.h"
#include "config/ReplyFields.h"
#include "link/Encodings.h"
#include "link/Link.h"

#include <optional>
#include <string>

namespace config {

namespace {

using devlink::Link;
using devlink::Reply;
using enc::midChars;

QueryResult failed(const Reply& reply) {
    return reply.refused() ? QueryResult::Busy : QueryResult::NotConnected;
}

// Rate "I", next block "B00" and totalisers "B30", each after its own WakeUp. The first one that
// goes unanswered ends them all: one message, and the fields not yet read keep what they showed.
template <typename Advance> QueryResult acquisitionSteps(ConfigModel& model, Link& link, Advance advance) {
    std::optional<Reply> reply = askFlowUnit(link, "I");
    if (!reply)
        return QueryResult::NotConnected;
    // The instrument is there: what the window showed makes way for what it says now.
    model.nextBlockText.clear();
    for (QString& total : model.totalizer)
        total.clear();
    advance(1);
    // A reply that timed out selects the first rate.
    model.rateIndex = flowRateIndex(reply->text);
    model.notifyChanged();
    advance(1);

    reply = askFlowUnit(link, "B00");
    if (!reply)
        return QueryResult::NotConnected;
    advance(2);
    const int block = nextBlockOf(reply->text);
    model.nextBlock = block;
    model.nextBlockText = latin1(enc::zeroPadded(block, 4));
    model.notifyChanged();
    advance(1);

    reply = askFlowUnit(link, "B30");
    if (!reply)
        return QueryResult::NotConnected;
    advance(1);
    // The sign pairs in front of the values are not shown.
    auto total = [&](std::size_t first) {
        const std::string digits = std::string(midChars(reply->text, first, 2)) +
                                   std::string(midChars(reply->text, first + 3, 2)) +
                                   std::string(midChars(reply->text, first + 6, 2));
        return latin1(enc::zeroPadded(enc::hexToTripleValue(digits), 6));
    };
    model.totalizer[0] = total(16);
    model.totalizer[1] = total(28);
    model.notifyChanged();
    advance(1);
    return QueryResult::Answered;
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

QueryResult getRate(ConfigModel& model, Link& link) {
    if (link.inProgress())
        return QueryResult::Busy;
    constexpr auto window = devlink::ProgressWindow::Progress;
    devlink::OperationUi& ui = link.ui();
    QueryResult result = QueryResult::Answered;
    {
        Link::PanelLock lock(link);
        ui.showProgress(window, "Downloading...");
        ui.setProgressRange(window, 0, 9);
        int bar = 0;
        auto advance = [&](int steps) {
            bar += steps;
            ui.setProgressValue(window, bar);
        };
        result = acquisitionSteps(model, link, advance);
    }
    ui.closeProgress(window);
    return result;
}

} // namespace config
