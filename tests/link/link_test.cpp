// The exchanges with the instruments, against a scripted instrument in virtual time.

#include "FakePort.h"
#include "RecordingUi.h"
#include "VirtualClock.h"
#include "link/Link.h"

#include <QRegularExpression>
#include <QTest>

using devlink::Exchange;
using devlink::Link;
using devlink::Outcome;
using devlink::Reply;
using devlink::Wake;
using testsupport::FakePort;
using testsupport::RecordingUi;
using testsupport::VirtualClock;
using Event = FakePort::Event;

namespace {

const std::string wake = "\x80";

Exchange clockQuery() {
    return Exchange::clockQuery();
}
Exchange registerQuery(std::string command) {
    return Exchange::registerQuery(std::move(command));
}

// Time of the first event of `kind` (with these bytes, if given) in the port's record.
double timeOf(const FakePort& port, Event::Kind kind, const std::string& bytes = {}, int occurrence = 1) {
    for (const Event& e : port.events()) {
        if (e.kind == kind && (bytes.empty() || e.bytes == bytes) && --occurrence == 0)
            return e.time;
    }
    return -1;
}

double lastEventTime(const FakePort& port) {
    return port.events().back().time;
}

} // namespace

class LinkTest : public QObject {
    Q_OBJECT

private slots:
    void fullExchangeSendsExactBytesAndClosesThePort();
    void lateFirstWakeUpIsAnsweredInTheSecondWindow();
    void wakeUpLimitIsGreaterThan();
    void neitherTryAnsweredShowsOneMessageAndSendsNoCommand();
    void replyWithoutCrEndsOneLimitAfterTheLastCharacter();
    void replyLimitAppliesPerCharacter();
    void replyOfOnlyCrIsEmpty();
    void callerStopsAfterFailedWakeUp();
    void presetQueryWakesOnceWithoutLoneCr();
    void bufferedExchangePausesThenTakesTheWholeBuffer();
    void bufferedExchangeTimesOutSilently();
    void pauseTwoTicksEndsJustAfterTheSecondChange();
    void waitsAcrossMidnight();
    void staleInputIsDiscardedBeforeEveryWakeUpByte();
    void exchangeStartedDuringAnotherIsRefused();
    void deviceLostEndsTheExchangeAtOnce();
    void portThatWillNotOpenCountsAsNotConnected();
    void stepsComposeATableReadWithOneSpareWakeUp();
};

void LinkTest::fullExchangeSendsExactBytesAndClosesThePort() {
    VirtualClock clock;
    FakePort port(clock);
    RecordingUi ui;
    port.answerWakeUps(0.01);
    port.onCommand("H").reply("24/05/17 09:08:07\r", 0.02, 0.001);
    Link link(port, clock, ui, 3);

    const Reply reply = link.exchange(clockQuery());

    QCOMPARE(reply.outcome, Outcome::Replied);
    QCOMPARE(reply.text, std::string("24/05/17 09:08:07"));
    QCOMPARE(reply.unansweredWakeUps, 0);
    QCOMPARE(port.written(), wake + "H\r");
    QCOMPARE(port.lastPortNumber(), 3);
    // Open, drop stale input, wake-up byte, command only after the "!", close.
    const auto& events = port.events();
    QCOMPARE(events.size(), std::size_t(5));
    QCOMPARE(events[0].kind, Event::Open);
    QCOMPARE(events[1].kind, Event::Discard);
    QCOMPARE(events[2].bytes, wake);
    QCOMPARE(events[3].bytes, std::string("H\r"));
    QVERIFY(events[3].time - events[2].time >= 0.01);
    QCOMPARE(events[4].kind, Event::Close);
    QVERIFY(!port.isOpen());
    QVERIFY(ui.messages.empty());
    // Waiting is event driven: a handful of yields, not a loop per millisecond.
    QVERIFY(clock.yieldCount() < 40);
}

void LinkTest::lateFirstWakeUpIsAnsweredInTheSecondWindow() {
    VirtualClock clock;
    FakePort port(clock);
    RecordingUi ui;
    port.on(wake);                  // first byte: the instrument is still asleep
    port.on(wake).reply("!", 0.15); // second byte: answered within 0.2 s
    port.onCommand("B02").reply("0000000\r");
    Link link(port, clock, ui);

    const Reply reply = link.exchange(registerQuery("B02"));

    QCOMPARE(reply.outcome, Outcome::Replied);
    QCOMPARE(reply.text, std::string("0000000"));
    QCOMPARE(reply.unansweredWakeUps, 1);
    QCOMPARE(port.written(), wake + "\r" + wake + "B02\r");
    const double first = timeOf(port, Event::Write, wake, 1);
    const double loneCr = timeOf(port, Event::Write, "\r");
    const double second = timeOf(port, Event::Write, wake, 2);
    QVERIFY(loneCr - first > 0.2);
    QVERIFY(loneCr - first < 0.21);
    QVERIFY(second >= loneCr);
    QVERIFY(ui.messages.empty());
    QVERIFY(!port.isOpen());
}

void LinkTest::wakeUpLimitIsGreaterThan() {
    // 0.5 s and the clock start are exact in binary, so "exactly at the limit" is exact here.
    const Exchange query{.command = "B00", .wakeUpLimit = 0.5, .wakeUpTries = 1, .replyLimit = 1.0};
    {
        VirtualClock clock(36000.0);
        FakePort port(clock);
        RecordingUi ui;
        port.on(wake).reply("!", 0.5);
        port.onCommand("B00").reply("x\r");
        Link link(port, clock, ui);
        QCOMPARE(link.exchange(query).outcome, Outcome::Replied);
    }
    {
        VirtualClock clock(36000.0);
        FakePort port(clock);
        RecordingUi ui;
        port.on(wake).reply("!", 0.5 + 0.0025);
        Link link(port, clock, ui);
        QCOMPARE(link.exchange(query).outcome, Outcome::NotConnected);
        QCOMPARE(port.written(), wake + "\r");
    }
}

void LinkTest::neitherTryAnsweredShowsOneMessageAndSendsNoCommand() {
    VirtualClock clock;
    FakePort port(clock);
    RecordingUi ui;
    Link link(port, clock, ui);
    const double start = clock.time();

    const Reply reply = link.exchange(registerQuery("B02"));

    QCOMPARE(reply.outcome, Outcome::NotConnected);
    QVERIFY(reply.notConnected());
    QCOMPARE(reply.unansweredWakeUps, 2);
    QCOMPARE(port.written(), wake + "\r" + wake + "\r");
    QCOMPARE(ui.messages.size(), std::size_t(1));
    QCOMPARE(ui.messages[0].text, std::string("Lumatrix not connected!"));
    QCOMPARE(ui.messages[0].title, std::string("Connection error"));
    QCOMPARE(ui.messages[0].icon, devlink::Icon::Exclamation);
    QCOMPARE(ui.messages[0].buttons, devlink::Buttons::Ok);
    // The read-out unit's routines close the setting progress window before the box.
    QCOMPARE(ui.calls, (std::vector<std::string>{"closeProgress 0",
                                                 "message Connection error: Lumatrix not connected!"}));
    QVERIFY(!port.isOpen());
    QVERIFY(clock.time() - start > 0.4);
    QVERIFY(clock.time() - start < 0.41);

    // The clock query keeps the progress window alone and may speak for the flow unit.
    RecordingUi ui2;
    Link link2(port, clock, ui2);
    Exchange flowClock = clockQuery();
    flowClock.notConnectedMessage = devlink::quorvaneNotConnected;
    QVERIFY(link2.exchange(flowClock).notConnected());
    QCOMPARE(ui2.calls, (std::vector<std::string>{"message Connection error: Quorvane not connected!"}));
}

void LinkTest::replyWithoutCrEndsOneLimitAfterTheLastCharacter() {
    VirtualClock clock;
    FakePort port(clock);
    RecordingUi ui;
    port.answerWakeUps();
    port.onCommand("B00").reply("0012", 0.01, 0.3);
    Link link(port, clock, ui);

    const Reply reply = link.exchange(registerQuery("B00"));

    QCOMPARE(reply.outcome, Outcome::TimedOut);
    QVERIFY(reply.woke());
    QCOMPARE(reply.text, std::string("0012"));
    QVERIFY(ui.messages.empty());
    QVERIFY(!port.isOpen());
    const double lastCharacter = timeOf(port, Event::Write, "B00\r") + 0.01 + 3 * 0.3;
    const double closed = lastEventTime(port);
    QCOMPARE(port.events().back().kind, Event::Close);
    QVERIFY(closed - lastCharacter > 1.0);
    QVERIFY(closed - lastCharacter < 1.01);
}

void LinkTest::replyLimitAppliesPerCharacter() {
    // A slow reply, 0.9 s between characters: 20 s in all, yet never 1 s of silence.
    VirtualClock clock;
    FakePort port(clock);
    RecordingUi ui;
    port.answerWakeUps();
    const std::string slow = "ABCDEFGHIJKLMNOPQRSTUVW";
    port.onCommand("B10").reply(slow + "\r", 0.9, 0.9);
    Link link(port, clock, ui);

    const Reply reply = link.exchange(registerQuery("B10"));

    QCOMPARE(reply.outcome, Outcome::Replied);
    QCOMPARE(reply.text, slow);
}

void LinkTest::replyOfOnlyCrIsEmpty() {
    VirtualClock clock;
    FakePort port(clock);
    RecordingUi ui;
    port.answerWakeUps();
    port.onCommand("H").reply("\r");
    Link link(port, clock, ui);

    const Reply reply = link.exchange(clockQuery());

    QCOMPARE(reply.outcome, Outcome::Replied);
    QVERIFY(reply.text.empty());
    QVERIFY(!port.isOpen());
}

void LinkTest::callerStopsAfterFailedWakeUp() {
    // A flow-unit routine: WakeUp, and only if the instrument answered, the command and its reply.
    const auto rateQuery = [](Link& link) -> std::optional<std::string> {
        if (link.wakeUp() != Wake::Awake)
            return std::nullopt;
        link.send("I");
        Reply reply = link.readLineToCr(devlink::limits::memoryReply);
        link.closePort();
        return reply.text;
    };

    VirtualClock clock;
    FakePort port(clock);
    RecordingUi ui;
    Link link(port, clock, ui);
    QCOMPARE(rateQuery(link), std::nullopt);
    QCOMPARE(port.written(), wake); // one byte, no lone CR, no command
    QCOMPARE(ui.calls, (std::vector<std::string>{"message Connection error: Quorvane not connected!"}));
    QVERIFY(!port.isOpen());
    QVERIFY(clock.time() - timeOf(port, Event::Write, wake) > 1.0);

    // Awake: WakeUp leaves the port open for the caller.
    FakePort awake(clock);
    RecordingUi ui2;
    awake.answerWakeUps();
    awake.onCommand("I").reply("5\r");
    Link link2(awake, clock, ui2);
    QCOMPARE(link2.wakeUp(), Wake::Awake);
    QVERIFY(awake.isOpen());
    link2.closePort();
    QCOMPARE(rateQuery(link2), std::optional<std::string>("5"));
    QCOMPARE(awake.written(), wake + wake + "I\r");
    QVERIFY(ui2.messages.empty());
}

void LinkTest::presetQueryWakesOnceWithoutLoneCr() {
    VirtualClock clock;
    FakePort port(clock);
    RecordingUi ui;
    Link link(port, clock, ui);
    const Exchange preset = Exchange::presetQuery();

    QVERIFY(link.exchange(preset).notConnected());
    QCOMPARE(port.written(), wake);
    QCOMPARE(ui.messages.size(), std::size_t(1));
    QVERIFY(!port.isOpen());
}

void LinkTest::bufferedExchangePausesThenTakesTheWholeBuffer() {
    VirtualClock clock(36000.25);
    FakePort port(clock);
    RecordingUi ui;
    port.answerWakeUps();
    const std::string dump = "00 02 00 00 03 E8 2B 41 42 43 44 6D 56 20 20 20 \r\n";
    port.onCommand("C002010").reply(dump, 0.01, 0.001);
    Link link(port, clock, ui);

    const Reply reply = link.exchangeBuffered(Exchange::memoryRead("C002010"));

    QCOMPARE(reply.outcome, Outcome::Replied);
    QCOMPARE(reply.text, dump); // the whole buffer at once, line end included
    QCOMPARE(port.written(), wake + "C002010\r");
    const double sent = timeOf(port, Event::Write, "C002010\r");
    const double closed = lastEventTime(port);
    QVERIFY(closed - sent >= 1.0);
    QVERIFY(closed - sent <= 2.01);
    QVERIFY(!port.isOpen());
}

void LinkTest::bufferedExchangeTimesOutSilently() {
    VirtualClock clock;
    FakePort port(clock);
    RecordingUi ui;
    port.answerWakeUps();
    Link link(port, clock, ui);

    const Reply reply = link.exchangeBuffered(Exchange::memoryRead("C0022A0", devlink::quorvaneNotConnected));
    QCOMPARE(reply.outcome, Outcome::TimedOut);
    QVERIFY(reply.text.empty());
    QVERIFY(ui.messages.empty());
    QVERIFY(!port.isOpen());
    const double sent = timeOf(port, Event::Write, "C0022A0\r");
    QVERIFY(lastEventTime(port) - sent > 3.0); // the pause, then more than 2 s
    QVERIFY(lastEventTime(port) - sent < 4.02);
}

void LinkTest::pauseTwoTicksEndsJustAfterTheSecondChange() {
    for (const double start : {36000.0, 36000.999, 36000.5}) {
        VirtualClock clock(start);
        FakePort port(clock);
        RecordingUi ui;
        Link link(port, clock, ui);
        link.pauseTwoTicks();
        QCOMPARE(std::floor(clock.time()), std::floor(start) + 2);
        QVERIFY(clock.time() - std::floor(clock.time()) < 0.01);
    }
}

void LinkTest::waitsAcrossMidnight() {
    // A silent instrument at 23:59:59.9: the two windows end after 2 s, not at once or never.
    {
        VirtualClock clock(86399.9);
        FakePort port(clock);
        RecordingUi ui;
        Link link(port, clock, ui);
        const double start = clock.time();
        QVERIFY(link.exchange(clockQuery()).notConnected());
        QVERIFY(clock.time() - start > 2.0);
        QVERIFY(clock.time() - start < 2.01);
    }
    // A reply whose characters straddle midnight is collected whole.
    {
        VirtualClock clock(86399.5);
        FakePort port(clock);
        RecordingUi ui;
        port.on(wake).reply("!", 0.4);
        port.onCommand("H").reply("24/05/17\r", 0.05, 0.3);
        Link link(port, clock, ui);
        const Reply reply = link.exchange(clockQuery());
        QCOMPARE(reply.outcome, Outcome::Replied);
        QCOMPARE(reply.text, std::string("24/05/17"));
        QVERIFY(clock.secondsSinceMidnight() < 10);
    }
    // A reply cut off just before midnight ends one limit later, after midnight.
    {
        VirtualClock clock(86399.0);
        FakePort port(clock);
        RecordingUi ui;
        port.answerWakeUps();
        port.onCommand("B00").reply("12", 0.5, 0.1);
        Link link(port, clock, ui);
        const Reply reply = link.exchange(registerQuery("B00"));
        QCOMPARE(reply.outcome, Outcome::TimedOut);
        QCOMPARE(reply.text, std::string("12"));
        const double last = timeOf(port, Event::Write, "B00\r") + 0.6;
        QVERIFY(lastEventTime(port) - last > 1.0);
        QVERIFY(lastEventTime(port) - last < 1.01);
    }
    // The pause across midnight.
    {
        VirtualClock clock(86399.3);
        FakePort port(clock);
        RecordingUi ui;
        Link link(port, clock, ui);
        link.pauseTwoTicks();
        QVERIFY(clock.time() - 86399.3 > 1.0);
        QVERIFY(clock.time() - 86399.3 < 1.71);
    }
}

void LinkTest::staleInputIsDiscardedBeforeEveryWakeUpByte() {
    // A 48-character dump read with the port left open; its CR LF comes after the reader is done.
    VirtualClock clock;
    FakePort port(clock);
    RecordingUi ui;
    port.answerWakeUps();
    const std::string dump(48, 'A');
    port.onCommand("C003FD0").reply(dump + "\r\n", 0.01, 0.00104);
    port.onCommand("C003FE0").reply(std::string(48, 'B') + "\r\n", 0.01, 0.00104);
    Link link(port, clock, ui);

    QCOMPARE(link.wakeUp(), Wake::Awake);
    link.send("C003FD0");
    QCOMPARE(link.readBuffer(2.0, 48).text, dump);
    clock.advance(0.01); // the line end arrives
    QCOMPARE(port.pending(), std::string("\r\n"));
    QCOMPARE(link.wakeUp(), Wake::Awake);
    QVERIFY(timeOf(port, Event::Discard, "\r\n") >= 0);
    link.send("C003FE0");
    QCOMPARE(link.readBuffer(2.0, 48).text, std::string(48, 'B'));
    link.closePort();

    // A late "!" of an earlier exchange must not pass for the answer of a silent instrument.
    FakePort silent(clock);
    RecordingUi ui2;
    Link link2(silent, clock, ui2);
    QCOMPARE(link2.ensureOpen(), devlink::OpenStatus::Opened);
    silent.arriveIn(0, "\r\n!");
    QCOMPARE(link2.wakeUp(), Wake::NotConnected);
    QCOMPARE(timeOf(silent, Event::Discard, "\r\n!") >= 0, true);
    // Every wake-up byte of a full exchange comes right after a discard.
    FakePort twice(clock);
    Link link3(twice, clock, ui2);
    link3.exchange(clockQuery());
    const auto& events = twice.events();
    int wakeBytes = 0;
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (events[i].kind == Event::Write && events[i].bytes == wake) {
            ++wakeBytes;
            QVERIFY(i > 0 && events[i - 1].kind == Event::Discard);
        }
    }
    QCOMPARE(wakeBytes, 2);
}

void LinkTest::exchangeStartedDuringAnotherIsRefused() {
    VirtualClock clock;
    FakePort port(clock);
    RecordingUi ui;
    port.answerWakeUps(0.05);
    port.onCommand("H").reply("24/05/17 09:08:07\r", 0.05);
    Link link(port, clock, ui);

    // A click handler that runs from the event loop while the clock query waits.
    std::vector<Reply> inner;
    Wake innerWake = Wake::Awake;
    bool innerSend = true;
    clock.onYield = [&] {
        if (!inner.empty())
            return;
        QVERIFY(link.inProgress());
        inner.push_back(link.exchange(registerQuery("B02")));
        inner.push_back(link.exchangeBuffered({.command = "C002010"}));
        inner.push_back(link.readLineToCr(1.0));
        innerWake = link.wakeUp();
        innerSend = link.send("B00");
    };
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused"));

    const Reply reply = link.exchange(clockQuery());

    QCOMPARE(inner.size(), std::size_t(3));
    for (const Reply& r : inner)
        QVERIFY(r.refused());
    QCOMPARE(innerWake, Wake::Busy);
    QVERIFY(!innerSend);
    // The running exchange is untouched.
    QCOMPARE(reply.outcome, Outcome::Replied);
    QCOMPARE(reply.text, std::string("24/05/17 09:08:07"));
    QCOMPARE(port.written(), wake + "H\r");
    QVERIFY(ui.messages.empty());
    QVERIFY(!link.inProgress());
    // Afterwards the link takes the next exchange.
    clock.onYield = nullptr;
    port.onCommand("B02").reply("0000000\r");
    QCOMPARE(link.exchange(registerQuery("B02")).outcome, Outcome::Replied);
}

void LinkTest::deviceLostEndsTheExchangeAtOnce() {
    // In the middle of the reply: over at once, as a silent instrument's reply would be.
    {
        VirtualClock clock;
        FakePort port(clock);
        RecordingUi ui;
        port.answerWakeUps();
        port.onCommand("H").reply("24/05", 0.01, 0.001).thenFail(0.01);
        Link link(port, clock, ui);
        const Reply reply = link.exchange(clockQuery());
        QCOMPARE(reply.outcome, Outcome::TimedOut);
        QVERIFY(reply.portLost);
        QCOMPARE(reply.text, std::string("24/05"));
        QVERIFY(!port.isOpen());
        QVERIFY(lastEventTime(port) - timeOf(port, Event::Fail) < 0.002);
        QVERIFY(ui.messages.empty());
    }
    // During the wake-up: no second try on a dead port, one message.
    {
        VirtualClock clock;
        FakePort port(clock);
        RecordingUi ui;
        port.on(wake).thenFail(0.05);
        Link link(port, clock, ui);
        const Reply reply = link.exchange(clockQuery());
        QVERIFY(reply.notConnected());
        QVERIFY(reply.portLost);
        QCOMPARE(port.written(), wake);
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QVERIFY(!port.isOpen());
        QVERIFY(clock.time() - timeOf(port, Event::Fail) < 0.002);
    }
}

void LinkTest::portThatWillNotOpenCountsAsNotConnected() {
    for (const auto status :
         {devlink::OpenStatus::InvalidPort, devlink::OpenStatus::AccessDenied, devlink::OpenStatus::Failed}) {
        VirtualClock clock;
        FakePort port(clock);
        RecordingUi ui;
        port.openResult = status;
        Link link(port, clock, ui);
        const Reply reply = link.exchange(clockQuery());
        QVERIFY(reply.notConnected());
        QCOMPARE(reply.openStatus, status);
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QVERIFY(port.written().empty());
        QCOMPARE(link.wakeUp(), Wake::NotConnected);
        QCOMPARE(ui.messages.size(), std::size_t(2));
    }
}

void LinkTest::stepsComposeATableReadWithOneSpareWakeUp() {
    // A whole-table read on one open port tolerates one unanswered wake-up byte in total.
    VirtualClock clock;
    FakePort port(clock);
    RecordingUi ui;
    port.on(wake); // slot 1: first byte missed
    port.on(wake).reply("!");
    port.onCommand("C002010").reply("01 \r\n");
    port.on(wake).reply("!"); // slot 2 in time
    port.onCommand("C002020").reply("02 \r\n");
    port.on(wake); // slot 3: missed, and no byte to spare
    Link link(port, clock, ui);

    QCOMPARE(link.openPort(), devlink::OpenStatus::Opened);
    int unanswered = 0;
    std::vector<std::string> dumps;
    for (const char* command : {"C002010", "C002020", "C002030"}) {
        const Link::WakeTries woke = link.wakeUpTries(1.0, 2 - unanswered, true);
        unanswered += woke.unanswered;
        if (!woke.awake) {
            link.notConnected(devlink::lumatrixNotConnected, true);
            break;
        }
        QVERIFY(link.send(command));
        dumps.push_back(link.readBufferAfterPause(2.0).text);
    }

    QCOMPARE(dumps, (std::vector<std::string>{"01 \r\n", "02 \r\n"}));
    QCOMPARE(port.written(), wake + "\r" + wake + "C002010\r" + wake + "C002020\r" + wake + "\r");
    QCOMPARE(port.openCount(), 1);
    QCOMPARE(ui.calls, (std::vector<std::string>{"closeProgress 0",
                                                 "message Connection error: Lumatrix not connected!"}));
    QVERIFY(!port.isOpen());
}

QTEST_GUILESS_MAIN(LinkTest)
#include "link_test.moc"
