#pragma once

#include <cstdint>

namespace devlink {

class Port;

// Time of day and waiting, as the exchanges see them. Injected, so that tests run the exchanges
// in virtual time without sleeping.
class Clock {
public:
    virtual ~Clock() = default;

    // Seconds since midnight with a fractional part, 0 <= t < 86400. Restarts at 0 at midnight;
    // measure waits with elapsedSince(), which counts on across midnight.
    virtual double secondsSinceMidnight() = 0;

    // Lets the event loop run and sleeps until a new character arrives on `port`, the port fails,
    // or `seconds` have passed, whichever comes first. Characters already waiting do not wake it,
    // so callers look at the buffer before they yield. It may return earlier; callers re-check
    // their condition and call again. seconds <= 0 only runs pending events.
    virtual void yield(Port& port, double seconds) = 0;
};

inline constexpr double secondsPerDay = 86400.0;

// Seconds from `start` to `now`, both readings of secondsSinceMidnight(). A reading taken after
// midnight counts on from the day before instead of going back to 0, so a wait spanning midnight
// neither hangs nor ends early. (Waits are seconds long, never near a day.)
double elapsedSince(double start, double now);

// The real clock: the time of day read once at construction and carried on by a monotonic timer,
// so that readings neither jump with clock adjustments nor go backwards except at midnight.
// yield() runs a nested event loop woken by the port's readyRead, its errors or a timer: the
// program sleeps while it waits and notices a character within a millisecond.
class SystemClock final : public Clock {
public:
    SystemClock();
    ~SystemClock() override;
    SystemClock(const SystemClock&) = delete;
    SystemClock& operator=(const SystemClock&) = delete;

    double secondsSinceMidnight() override;
    void yield(Port& port, double seconds) override;

    // How many times yield() has been called: a wait that spins shows as a huge count.
    std::int64_t yieldCount() const { return yields_; }

private:
    struct Impl;
    Impl* impl_;
    std::int64_t yields_ = 0;
};

} // namespace devlink
