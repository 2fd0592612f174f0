#pragma once

#include "link/Clock.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace testsupport {

// Something that makes things happen at virtual times (a FakePort). The clock asks it for the
// next moment anything happens, so a wait jumps straight there instead of stepping.
class EventSource {
public:
    virtual ~EventSource() = default;
    // Time (VirtualClock::time()) of the next thing still to happen, if any.
    virtual std::optional<double> nextEventTime() const = 0;
    // Let everything due at or before `time` happen.
    virtual void deliverDue(double time) = 0;
};

// Virtual time for the link in tests: nothing sleeps, a test of a 2 s time-out runs instantly.
//
//  - time() is a steady count of virtual seconds; it starts at `startOfDay` (a time of day, in
//    seconds since midnight) and never wraps. secondsSinceMidnight() is time() modulo 86400,
//    so a clock started at 86399.5 crosses midnight half a second later.
//  - yield(port, s) first runs onYield (what the event loop would have done meanwhile, e.g. a
//    click handler), then advances time to the next scripted event of any registered source or
//    by s, whichever comes first, and delivers what is due.
//  - yieldCount() tells how often the code under test yielded: a busy loop shows up as a big
//    number. Past maxYields the clock aborts the test instead of hanging it.
class VirtualClock final : public devlink::Clock {
public:
    explicit VirtualClock(double startOfDay = 10 * 3600.0);

    double secondsSinceMidnight() override;
    void yield(devlink::Port& port, double seconds) override;

    double time() const { return time_; }
    // Moves time on by `seconds` and delivers what is due (the test's own "meanwhile").
    void advance(double seconds);

    std::int64_t yieldCount() const { return yields_; }
    std::int64_t maxYields = 1'000'000;

    // Runs at the start of every yield (not recursively).
    std::function<void()> onYield;

    void addSource(EventSource* source) { sources_.push_back(source); }
    void removeSource(EventSource* source) { std::erase(sources_, source); }

private:
    double nextEventBefore(double limit) const;
    void moveTo(double time);
    void deliver();

    double time_;
    std::int64_t yields_ = 0;
    bool inHook_ = false;
    std::vector<EventSource*> sources_;
};

} // namespace testsupport
