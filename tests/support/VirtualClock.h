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

// Virtual time for the link in tests: nothing sleeps. time() counts seconds from `startOfDay` and
// never wraps; secondsSinceMidnight() is it modulo 86400. yield(port, s) runs onYield (what the event
// loop would do meanwhile, e.g. a click handler), then moves to the next scripted event or by s,
// whichever comes first. yieldCount() shows a busy loop; past maxYields the test aborts, not hangs.
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
