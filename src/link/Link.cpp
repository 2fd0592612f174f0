#include "link/Link.h"

#include "link/Clock.h"

#include <QtGlobal>

#include <cmath>

namespace devlink {

namespace {

// How far past a deadline a wait sleeps, so that "more than the limit" has surely passed when it
// wakes. Also the granularity in which a character is noticed at the latest.
constexpr double overshoot = 0.001;

} // namespace

// Marks the link busy while it may run the event loop, so that a click handler run from there
// cannot start a second conversation on the same port.
class Link::WaitGuard {
public:
    explicit WaitGuard(Link& link) : link_(link), outer_(link.waiting_) { link_.waiting_ = true; }
    ~WaitGuard() { link_.waiting_ = outer_; }
    WaitGuard(const WaitGuard&) = delete;
    WaitGuard& operator=(const WaitGuard&) = delete;

private:
    Link& link_;
    bool outer_;
};

Exchange Exchange::clockQuery(std::string notConnectedMessage) {
    return {.command = "H",
            .wakeUpLimit = limits::clockWakeUp,
            .wakeUpTries = 2,
            .replyLimit = limits::clockReply,
            .loneCrAfterUnanswered = true,
            .notConnectedMessage = std::move(notConnectedMessage),
            .closeSettingProgressOnFailure = false};
}

Exchange Exchange::registerQuery(std::string command) {
    return {.command = std::move(command),
            .wakeUpLimit = limits::registerWakeUp,
            .wakeUpTries = 2,
            .replyLimit = limits::registerReply,
            .loneCrAfterUnanswered = true,
            .notConnectedMessage = lumatrixNotConnected,
            .closeSettingProgressOnFailure = true};
}

Exchange Exchange::memoryRead(std::string command, std::string notConnectedMessage) {
    return {.command = std::move(command),
            .wakeUpLimit = limits::memoryWakeUp,
            .wakeUpTries = 2,
            .replyLimit = limits::memoryReply,
            .loneCrAfterUnanswered = true,
            .notConnectedMessage = std::move(notConnectedMessage),
            .closeSettingProgressOnFailure = true};
}

Exchange Exchange::presetQuery(std::string notConnectedMessage) {
    return {.command = "B10",
            .wakeUpLimit = limits::memoryWakeUp,
            .wakeUpTries = 1,
            .replyLimit = limits::memoryReply,
            .loneCrAfterUnanswered = false,
            .notConnectedMessage = std::move(notConnectedMessage),
            .closeSettingProgressOnFailure = true};
}

Link::Link(Port& port, Clock& clock, OperationUi& ui, int portNumber)
    : port_(port), clock_(clock), ui_(ui), portNumber_(portNumber) {}

Link::Link(Port& port, Clock& clock, OperationUi& ui, std::function<int()> portNumber)
    : port_(port), clock_(clock), ui_(ui), portNumberSource_(std::move(portNumber)) {}

bool Link::refuse(const char* what) const {
    if (!waiting_)
        return false;
    qWarning("devlink: %s refused: another exchange with the instrument is in progress", what);
    return true;
}

template <typename Result, typename Work> Result Link::guarded(const char* what, Result refused, Work&& work) {
    if (refuse(what))
        return refused;
    WaitGuard busy(*this);
    return work();
}

double Link::now() {
    return clock_.secondsSinceMidnight();
}

void Link::yieldFor(double seconds) {
    clock_.yield(port_, seconds);
}

// ---- Whole exchanges ----------------------------------------------------------------------

Reply Link::exchange(const Exchange& request) {
    if (refuse("exchange"))
        return Reply{};
    return runExchange(request, false);
}

Reply Link::exchangeBuffered(const Exchange& request) {
    if (refuse("buffered exchange"))
        return Reply{};
    return runExchange(request, true);
}

Reply Link::runExchange(const Exchange& request, bool buffered) {
    WaitGuard busy(*this);
    Reply reply;
    port_.close();
    reply.openStatus = port_.open(portNumber());
    if (reply.openStatus != OpenStatus::Opened) {
        reply.outcome = Outcome::NotConnected;
        notConnectedImpl(request.notConnectedMessage, request.closeSettingProgressOnFailure);
        return reply;
    }

    const WakeTries wake =
        wakeUpTriesImpl(request.wakeUpLimit, request.wakeUpTries, request.loneCrAfterUnanswered);
    reply.unansweredWakeUps = wake.unanswered;
    reply.portLost = wake.portLost;
    if (!wake.awake) {
        reply.outcome = Outcome::NotConnected;
        notConnectedImpl(request.notConnectedMessage, request.closeSettingProgressOnFailure);
        return reply;
    }

    std::string line = request.command;
    line += carriageReturn;
    port_.write(line);

    Reply read;
    if (buffered) {
        pauseImpl();
        read = readBufferImpl(request.replyLimit, 1);
    } else {
        read = readLineImpl(request.replyLimit);
    }
    reply.outcome = read.outcome;
    reply.text = std::move(read.text);
    reply.portLost = reply.portLost || read.portLost;
    port_.close();
    return reply;
}

Link::WakeTries Link::wakeUpTriesImpl(double limit, int tries, bool loneCr) {
    WakeTries result;
    for (int attempt = 0; attempt < tries; ++attempt) {
        if (!port_.isOpen() || port_.failed()) {
            result.portLost = port_.failed();
            return result;
        }
        // A line end left over from an earlier reply must not be read as (or in front of) the answer.
        port_.discardInput();
        port_.write(std::string_view(&wakeUpByte, 1));
        const double start = now();
        for (;;) {
            yieldFor(limit - elapsedSince(start, now()) + overshoot);
            if (port_.failed() || !port_.isOpen()) {
                result.portLost = port_.failed();
                port_.close();
                return result;
            }
            if (elapsedSince(start, now()) > limit)
                break;
            // Whatever else came in front of the "!" is read and dropped, one character at a time.
            while (port_.bytesWaiting() > 0) {
                if (port_.readOne() == std::string(1, awakeAnswer)) {
                    result.awake = true;
                    return result;
                }
            }
        }
        ++result.unanswered;
        if (loneCr)
            port_.write(std::string_view(&carriageReturn, 1));
    }
    return result;
}

void Link::notConnectedImpl(const std::string& message, bool closeSettingProgress) {
    port_.close();
    if (closeSettingProgress)
        ui_.closeProgress(ProgressWindow::SettingProgress);
    ui_.message(message, connectionErrorTitle, Icon::Exclamation, Buttons::Ok);
    port_.close();
}

bool Link::awaitCharacter(double start, double limit, Reply& reply) {
    while (port_.bytesWaiting() == 0) {
        if (port_.failed() || !port_.isOpen()) {
            reply.portLost = port_.failed();
            port_.close();
            return false;
        }
        const double elapsed = elapsedSince(start, now());
        if (elapsed > limit)
            return false;
        yieldFor(limit - elapsed + overshoot);
    }
    return true;
}

Reply Link::readLineImpl(double limit) {
    Reply reply;
    reply.outcome = Outcome::TimedOut;
    double start = now();
    for (;;) {
        if (!awaitCharacter(start, limit, reply))
            return reply;
        const std::string c = port_.readOne();
        if (c.empty())
            continue;
        if (c[0] == carriageReturn) {
            reply.outcome = Outcome::Replied;
            return reply;
        }
        reply.text += c;
        start = now();
    }
}

Reply Link::readBufferImpl(double limit, int atLeast) {
    Reply reply;
    const double start = now();
    while (port_.bytesWaiting() < atLeast) {
        if (port_.failed() || !port_.isOpen()) {
            reply.outcome = Outcome::TimedOut;
            reply.portLost = port_.failed();
            port_.close();
            return reply;
        }
        const double elapsed = elapsedSince(start, now());
        if (elapsed > limit) {
            reply.outcome = Outcome::TimedOut;
            return reply;
        }
        yieldFor(limit - elapsed + overshoot);
    }
    reply.outcome = Outcome::Replied;
    reply.text = port_.readAll();
    return reply;
}

void Link::pauseImpl() {
    for (int tick = 0; tick < 2; ++tick) {
        const double second = std::floor(now());
        for (;;) {
            const double t = now();
            if (std::floor(t) != second)
                break;
            yieldFor(second + 1.0 - t + overshoot);
        }
    }
}

// ---- Public steps ---------------------------------------------------------------------------

Wake Link::wakeUp(const std::string& notConnectedMessage) {
    return guarded("wake-up", Wake::Busy, [&] {
        if (!port_.isOpen() && port_.open(portNumber()) != OpenStatus::Opened) {
            notConnectedImpl(notConnectedMessage, false);
            return Wake::NotConnected;
        }
        if (wakeUpTriesImpl(limits::memoryWakeUp, 1, false).awake)
            return Wake::Awake;
        notConnectedImpl(notConnectedMessage, false);
        return Wake::NotConnected;
    });
}

void Link::pauseTwoTicks() {
    guarded("pause", 0, [&] {
        pauseImpl();
        return 0;
    });
}

void Link::lockPanels() {
    ui_.lockPanels();
}
void Link::unlockPanels() {
    ui_.unlockPanels();
}

OpenStatus Link::openPort() {
    return guarded("opening the port", OpenStatus::Failed, [&] {
        port_.close();
        return port_.open(portNumber());
    });
}

OpenStatus Link::ensureOpen() {
    return guarded("opening the port", OpenStatus::Failed,
                   [&] { return port_.isOpen() ? OpenStatus::Opened : port_.open(portNumber()); });
}

void Link::closeImpl() {
    if (port_.isOpen())
        port_.drain();
    port_.close();
}

void Link::closePort() {
    guarded("closing the port", 0, [&] {
        closeImpl();
        return 0;
    });
}

Link::WakeTries Link::wakeUpTries(double limit, int tries, bool loneCrAfterUnanswered) {
    WakeTries refused;
    refused.refused = true;
    return guarded("wake-up", refused, [&] { return wakeUpTriesImpl(limit, tries, loneCrAfterUnanswered); });
}

void Link::notConnected(const std::string& message, bool closeSettingProgress) {
    guarded("message", 0, [&] {
        notConnectedImpl(message, closeSettingProgress);
        return 0;
    });
}

bool Link::send(std::string_view command) {
    std::string line(command);
    line += carriageReturn;
    return sendRaw(line);
}

bool Link::sendRaw(std::string_view bytes) {
    if (refuse("sending"))
        return false;
    if (!port_.isOpen())
        return false;
    port_.write(bytes);
    return true;
}

Reply Link::readLineToCr(double perCharacterLimit) {
    return guarded("reading", Reply{}, [&] { return readLineImpl(perCharacterLimit); });
}

Reply Link::readBuffer(double limit, int atLeast) {
    return guarded("reading", Reply{}, [&] { return readBufferImpl(limit, atLeast); });
}

Reply Link::readBufferAfterPause(double firstCharacterLimit) {
    return guarded("reading", Reply{}, [&] {
        pauseImpl();
        return readBufferImpl(firstCharacterLimit, 1);
    });
}

// ---- Writes ---------------------------------------------------------------------------------

Written Link::write(const Write& request) {
    return guarded("write", Written::Busy, [&] {
        const auto fail = [&] {
            if (request.closeSetTypeOnFailure)
                ui_.closeProgress(ProgressWindow::SetType);
            notConnectedImpl(request.notConnectedMessage, request.closeSettingProgressOnFailure);
            return Written::NotConnected;
        };
        if (!port_.isOpen() && port_.open(portNumber()) != OpenStatus::Opened)
            return fail();
        WakeBudget own;
        WakeBudget& budget = request.budget ? *request.budget : own;
        for (;;) {
            if (budget.unanswered >= WakeBudget::allowed)
                return fail();
            const WakeTries wake = wakeUpTriesImpl(limits::memoryWakeUp, 1, true);
            if (wake.awake)
                break;
            budget.unanswered += wake.portLost ? WakeBudget::allowed : wake.unanswered;
        }
        std::string line = request.command;
        line += carriageReturn;
        port_.write(line);
        if (request.settle > 0.0)
            waitImpl(request.settle);
        if (!request.keepOpen)
            closeImpl();
        return Written::Sent;
    });
}

Written Link::wakeUpWrite(const std::string& command, const std::string& notConnectedMessage) {
    const Wake wake = wakeUp(notConnectedMessage);
    if (wake != Wake::Awake)
        return wake == Wake::Busy ? Written::Busy : Written::NotConnected;
    return send(command) ? Written::Sent : Written::Busy;
}

void Link::waitImpl(double seconds) {
    const double start = now();
    for (double elapsed = 0.0; (elapsed = elapsedSince(start, now())) <= seconds;)
        yieldFor(seconds - elapsed + overshoot);
}

void Link::wait(double seconds) {
    guarded("wait", 0, [&] {
        waitImpl(seconds);
        return 0;
    });
}

Reply Link::readRecord(std::size_t length, double silenceLimit) {
    return guarded("reading", Reply{}, [&] {
        Reply reply;
        reply.outcome = Outcome::TimedOut;
        reply.text.reserve(length + 1);
        double start = now();
        for (;;) {
            if (!awaitCharacter(start, silenceLimit, reply))
                return reply;
            const std::string c = port_.readOne();
            if (c.empty())
                continue;
            start = now();
            if (reply.text.size() < length) {
                reply.text += c;
                continue;
            }
            if (c[0] != carriageReturn)
                reply.text += c;
            reply.outcome = c[0] == carriageReturn ? Outcome::Replied : Outcome::Garbled;
            return reply;
        }
    });
}

} // namespace devlink
