#include "VirtualClock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace testsupport {

VirtualClock::VirtualClock(double startOfDay) : time_(startOfDay) {}

double VirtualClock::secondsSinceMidnight() {
    return std::fmod(time_, devlink::secondsPerDay);
}

void VirtualClock::yield(devlink::Port&, double seconds) {
    if (++yields_ > maxYields) {
        std::fprintf(stderr, "VirtualClock: more than %lld yields; the code under test spins\n",
                     static_cast<long long>(maxYields));
        std::abort();
    }
    if (onYield && !inHook_) {
        inHook_ = true;
        onYield();
        inHook_ = false;
    }
    deliver();
    if (seconds > 0)
        moveTo(nextEventBefore(time_ + seconds));
}

void VirtualClock::advance(double seconds) {
    // Step through the events in between so each happens at its own time.
    const double end = time_ + seconds;
    do
        moveTo(nextEventBefore(end));
    while (time_ < end);
}

double VirtualClock::nextEventBefore(double limit) const {
    for (const EventSource* source : sources_) {
        if (const std::optional<double> next = source->nextEventTime(); next && *next < limit)
            limit = std::max(*next, time_);
    }
    return limit;
}

void VirtualClock::moveTo(double time) {
    time_ = time;
    deliver();
}

void VirtualClock::deliver() {
    for (EventSource* source : sources_)
        source->deliverDue(time_);
}

} // namespace testsupport
