#include "config/Ask.h"

namespace config {

using devlink::Link;
using devlink::Reply;
using devlink::Written;
namespace limits = devlink::limits;

std::optional<Reply> askAfterWakeUp(Link& link, const std::string& command,
                                    const std::function<Reply()>& read) {
    if (link.wakeUpWrite(command, devlink::quorvaneNotConnected) != Written::Sent)
        return std::nullopt;
    return read();
}

std::optional<Reply> askFlowUnit(Link& link, const std::string& command) {
    std::optional<Reply> reply =
        askAfterWakeUp(link, command, [&link] { return link.readLineToCr(limits::memoryReply); });
    if (reply)
        link.closePort();
    return reply;
}

std::optional<Reply> readSlot(Link& link, devlink::WakeBudget& budget, const std::string& command,
                              const std::string& notConnectedMessage) {
    const Written written = link.write({.command = command,
                                        .notConnectedMessage = notConnectedMessage,
                                        .keepOpen = true,
                                        .closeSettingProgressOnFailure = true,
                                        .budget = &budget});
    if (written != Written::Sent)
        return std::nullopt;
    return link.readBufferAfterPause(limits::memoryReply);
}

} // namespace config
