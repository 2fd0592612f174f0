#include "write/BlockPointer.h"

namespace writing {

namespace {

using devlink::Written;

Written resetPair(devlink::Link& link, const std::string& first, const std::string& second,
                  const std::string& notConnectedMessage) {
    if (link.inProgress())
        return Written::Busy;
    if (link.isOpen())
        link.closePort();
    const Written sent = link.write(
        {.command = first, .notConnectedMessage = notConnectedMessage, .settle = 0.1, .keepOpen = true});
    if (sent != Written::Sent)
        return sent;
    // The instrument has just answered: the second command gets a single wake-up byte.
    devlink::WakeBudget oneTry{.unanswered = devlink::WakeBudget::allowed - 1};
    return link.write({.command = second,
                       .notConnectedMessage = notConnectedMessage,
                       .settle = 0.1,
                       .keepOpen = false,
                       .budget = &oneTry});
}

} // namespace

Written resetBlockPointer(devlink::Link& link, const std::string& notConnectedMessage) {
    return resetPair(link, "b0300", "b0400", notConnectedMessage);
}

Written resetStoredBlockPointer(devlink::Link& link, const std::string& notConnectedMessage) {
    return resetPair(link, "a0b400", "a0b500", notConnectedMessage);
}

} // namespace writing
