#pragma once

#include "VirtualClock.h"
#include "link/Port.h"

#include <algorithm>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

// A scripted instrument on a fake port, in virtual time. A rule waits for its trigger to be written
// (in pieces or after other bytes) and schedules its reply from that moment; rules are tried in the
// order added and fire once unless made to repeat, so rules with the same trigger script successive
// answers. Bytes arriving while the port is closed are lost, as on a real line. Every open, close,
// write and discard is kept with its virtual time, so tests assert byte for byte.
class FakePort final : public devlink::Port, public EventSource {
public:
    class Rule {
    public:
        // The first byte `after` seconds after the trigger, each further one `gap` after the one
        // before; a further call adds a piece timed from the end of the previous one.
        Rule& reply(std::string bytes, double after = 0.005, double gap = 0.0) {
            pieces.push_back({std::move(bytes), after, gap});
            return *this;
        }
        // The device goes away `after` seconds after the last reply byte (or the trigger).
        Rule& thenFail(double after = 0.0) {
            failAfter = after;
            return *this;
        }
        // Fire on every occurrence of the trigger, not only the next one.
        Rule& repeat() {
            repeating = true;
            return *this;
        }

    private:
        friend class FakePort;
        struct Piece {
            std::string bytes;
            double after;
            double gap;
        };
        std::string trigger;
        std::vector<Piece> pieces;
        std::optional<double> failAfter;
        bool repeating = false;
        bool used = false;
    };

    struct Event {
        enum Kind { Open, Close, Write, Discard, Fail, Drain };
        double time;
        Kind kind;
        std::string bytes; // written bytes; dropped bytes for Discard
    };

    explicit FakePort(VirtualClock& clock, std::string device = "/dev/fake0")
        : clock_(clock), device_(std::move(device)) {
        clock_.addSource(this);
    }
    ~FakePort() override { clock_.removeSource(this); }
    FakePort(const FakePort&) = delete;
    FakePort& operator=(const FakePort&) = delete;

    // A rule for the next write of `trigger` (any bytes, e.g. "\x80").
    Rule& on(std::string trigger);
    // A rule for the command `command` followed by CR.
    Rule& onCommand(std::string_view command) { return on(std::string(command) + '\r'); }
    // An instrument that answers every wake-up byte with "!" after `after` seconds.
    void answerWakeUps(double after = 0.005) { on("\x80").reply("!", after).repeat(); }
    // Bytes that arrive `after` seconds from now, prompted by nothing.
    void arriveIn(double after, std::string bytes) {
        scheduled_.emplace(clock_.time() + after, Scheduled{std::move(bytes)});
    }
    // What the next open() answers (Opened by default); stays until changed.
    devlink::OpenStatus openResult = devlink::OpenStatus::Opened;
    // What open() answers for a given port number, before openResult.
    std::map<int, devlink::OpenStatus> openResults;
    // The device name ends in the port number ("/dev/fake" gives "/dev/fake2").
    bool numberedDeviceNames = false;

    const std::vector<Event>& events() const { return events_; }
    std::vector<Event> writes() const;
    std::string written() const;
    int openCount() const { return static_cast<int>(std::ranges::count(events_, Event::Open, &Event::kind)); }
    int lastPortNumber() const { return lastPortNumber_; }
    // The port number of every open(), the refused ones included.
    const std::vector<int>& openAttempts() const { return openAttempts_; }

    devlink::OpenStatus open(int portNumber) override;
    void close() override;
    bool isOpen() const override { return open_; }
    void write(std::string_view bytes) override;
    int bytesWaiting() override {
        deliverDue(clock_.time());
        return static_cast<int>(input_.size());
    }
    std::string readOne() override;
    std::string readAll() override {
        deliverDue(clock_.time());
        return std::exchange(input_, {});
    }
    void discardInput() override;
    void drain() override {
        if (open_)
            record(Event::Drain);
    }
    bool failed() const override { return failed_; }
    std::string deviceName(int portNumber) const override {
        return numberedDeviceNames ? device_ + std::to_string(portNumber) : device_;
    }

    std::optional<double> nextEventTime() const override {
        return scheduled_.empty() ? std::nullopt : std::optional(scheduled_.begin()->first);
    }
    void deliverDue(double time) override;

private:
    struct Scheduled {
        std::string bytes; // empty with fail set: the device goes away
        bool fail = false;
    };
    void record(Event::Kind kind, std::string bytes = {});
    void match();
    void fire(Rule& rule);

    VirtualClock& clock_;
    std::string device_;
    std::deque<Rule> rules_; // a deque keeps the Rule& handed out valid
    std::multimap<double, Scheduled> scheduled_;
    std::string unmatched_;
    std::string input_;
    std::vector<Event> events_;
    bool open_ = false;
    bool failed_ = false;
    int lastPortNumber_ = 0;
    std::vector<int> openAttempts_;
};

} // namespace testsupport
