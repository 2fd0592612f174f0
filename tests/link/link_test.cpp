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
using Event = FakePort::Event;

namespace {

const std::string wake = "\x80";
const std::vector<std::string> notConnectedCalls{"closeProgress 0",
                                                 "message Connection error: Lumatrix not connected!"};

struct Rig {
    explicit Rig(double startOfDay = 36000.0, int portNumber = 1)
        : clock(startOfDay), link(port, clock, ui, portNumber) {}
    testsupport::VirtualClock clock;
    FakePort port{clock};
    testsupport::RecordingUi ui;
    Link link;

    // Time of the n-th event of `kind` (with these bytes, if given).
    double timeOf(Event::Kind kind, const std::string& bytes = {}, int n = 1) const {
        for (const Event& e : port.events()) {
            if (e.kind == kind && (bytes.empty() || e.bytes == bytes) && --n == 0)
                return e.time;
        }
        return -1;
    }
    double closedAfter(const std::string& written) const {
        return port.events().back().time - timeOf(Event::Write, written);
    }
};

// Strictly between the two limits.
bool within(double value, double low, double high) {
    return value > low && value < high;
}

} // namespace

class LinkTest : public QObject {
    Q_OBJECT

private slots:

    void fullExchangeSendsExactBytesAndClosesThePort() {
        Rig rig(36000.0, 3);
        rig.port.answerWakeUps(0.01);
        rig.port.onCommand("H").reply("24/05/17 09:08:07\r", 0.02, 0.001);

        const Reply reply = rig.link.exchange(Exchange::clockQuery());

        QVERIFY(reply.outcome == Outcome::Replied && reply.text == "24/05/17 09:08:07");
        QCOMPARE(rig.port.lastPortNumber(), 3);
        // Open, drop stale input, wake-up byte, command only after the "!", close.
        const auto& e = rig.port.events();
        QCOMPARE(e.size(), std::size_t(5));
        QVERIFY(e[0].kind == Event::Open && e[1].kind == Event::Discard && e[4].kind == Event::Close);
        QCOMPARE(e[2].bytes + e[3].bytes, wake + "H\r");
        QVERIFY(e[3].time - e[2].time >= 0.01 && rig.ui.messages.empty());
        // Waiting is event driven: a handful of yields, not a loop per millisecond.
        QVERIFY(rig.clock.yieldCount() < 40);
    }

    void lateFirstWakeUpIsAnsweredInTheSecondWindow() {
        Rig rig;
        rig.port.on(wake);                  // first byte: the instrument is still asleep
        rig.port.on(wake).reply("!", 0.15); // second byte: answered within 0.2 s
        rig.port.onCommand("B02").reply("0000000\r");

        const Reply reply = rig.link.exchange(Exchange::registerQuery("B02"));

        QVERIFY(reply.outcome == Outcome::Replied && reply.text == "0000000" && reply.unansweredWakeUps == 1);
        QCOMPARE(rig.port.written(), wake + "\r" + wake + "B02\r");
        const double loneCr = rig.timeOf(Event::Write, "\r");
        QVERIFY(within(loneCr - rig.timeOf(Event::Write, wake), 0.2, 0.21));
        QVERIFY(rig.timeOf(Event::Write, wake, 2) >= loneCr && rig.ui.messages.empty() && !rig.port.isOpen());
    }

    void wakeUpLimitIsGreaterThan() {
        // 0.5 s and the clock start are exact in binary, so "exactly at the limit" is exact here.
        const Exchange query{.command = "B00", .wakeUpLimit = 0.5, .wakeUpTries = 1, .replyLimit = 1.0};
        for (const auto& [delay, outcome] :
             {std::pair{0.5, Outcome::Replied}, {0.5025, Outcome::NotConnected}}) {
            Rig rig;
            rig.port.on(wake).reply("!", delay);
            rig.port.onCommand("B00").reply("x\r");
            QCOMPARE(rig.link.exchange(query).outcome, outcome);
        }
    }

    void neitherTryAnsweredShowsOneMessageAndSendsNoCommand() {
        // Two windows of 0.2 s for a register query; of 1 s for the clock query, across midnight too.
        for (const auto& [start, clockQuery, waited] :
             {std::tuple{36000.0, false, 0.4}, {86399.9, true, 2.0}}) {
            Rig rig(start);
            const Reply reply =
                rig.link.exchange(clockQuery ? Exchange::clockQuery() : Exchange::registerQuery("B02"));

            QVERIFY(reply.notConnected() && reply.unansweredWakeUps == 2);
            QCOMPARE(rig.port.written(), wake + "\r" + wake + "\r");
            QVERIFY(rig.ui.messages.size() == 1 && rig.ui.messages[0].icon == devlink::Icon::Exclamation &&
                    rig.ui.messages[0].buttons == devlink::Buttons::Ok);
            // The read-out unit's routines close the setting progress window before the box; the
            // clock query leaves it alone.
            QCOMPARE(rig.ui.calls,
                     clockQuery ? std::vector<std::string>{notConnectedCalls[1]} : notConnectedCalls);
            QVERIFY(!rig.port.isOpen() && within(rig.clock.time() - start, waited, waited + 0.01));
        }
        Rig flow; // the clock query may speak for the flow unit
        QVERIFY(flow.link.exchange(Exchange::clockQuery(devlink::quorvaneNotConnected)).notConnected());
        QCOMPARE(flow.ui.calls,
                 (std::vector<std::string>{"message Connection error: Quorvane not connected!"}));
        Rig preset; // the preset query wakes once, without a lone CR
        QVERIFY(preset.link.exchange(Exchange::presetQuery()).notConnected());
        QVERIFY(preset.port.written() == wake && preset.ui.messages.size() == 1);
    }

    void replyShapes_data() {
        QTest::addColumn<double>("start");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<double>("gap");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QString>("text");
        QTest::newRow("only CR") << 36000.0 << "\r" << 0.0 << true << "";
        QTest::newRow("0.9 s between characters: the limit is per character")
            << 36000.0 << "ABCDEFGHIJKLMNOPQRSTUVW\r" << 0.9 << true << "ABCDEFGHIJKLMNOPQRSTUVW";
        QTest::newRow("straddling midnight") << 86399.8 << "24/05/17\r" << 0.3 << true << "24/05/17";
        // Ends one limit after the last character, the partial text kept.
        QTest::newRow("stops without CR") << 36000.0 << "0012" << 0.3 << false << "0012";
        QTest::newRow("stops without CR before midnight") << 86398.9 << "12" << 0.1 << false << "12";
    }

    void replyShapes() {
        QFETCH(double, start);
        QFETCH(QString, reply);
        QFETCH(double, gap);
        QFETCH(bool, complete);
        QFETCH(QString, text);
        Rig rig(start);
        rig.port.answerWakeUps();
        rig.port.onCommand("B00").reply(reply.toStdString(), 0.01, gap);

        const Reply got = rig.link.exchange(Exchange::registerQuery("B00"));

        QCOMPARE(got.outcome, complete ? Outcome::Replied : Outcome::TimedOut);
        QCOMPARE(got.text, text.toStdString());
        QVERIFY(got.woke() && rig.ui.messages.empty() && !rig.port.isOpen());
        if (!complete) // one limit after the last character
            QVERIFY(within(rig.closedAfter("B00\r") - 0.01 - (reply.size() - 1) * gap, 1.0, 1.01));
    }

    // After a failed WakeUp the caller sends nothing: one wake-up byte, no lone CR, no command, one message.
    void noCommandFollowsAFailedWakeUp() {
        const auto rateQuery = [](Link& link) -> std::optional<std::string> {
            if (link.wakeUp() != Wake::Awake)
                return std::nullopt;
            link.send("I");
            Reply reply = link.readLineToCr(devlink::limits::memoryReply);
            link.closePort();
            return reply.text;
        };
        const std::vector<std::string> flowNotConnected{"message Connection error: Quorvane not connected!"};
        Rig rig, writer;
        QCOMPARE(rateQuery(rig.link), std::nullopt);
        QCOMPARE(writer.link.wakeUpWrite("k003FD0312E3520"), devlink::Written::NotConnected);
        for (Rig* r : {&rig, &writer}) {
            QCOMPARE(r->port.written(), wake);
            QCOMPARE(r->ui.calls, flowNotConnected);
            QVERIFY(!r->port.isOpen());
        }
        QVERIFY(rig.clock.time() - rig.timeOf(Event::Write, wake) > 1.0);

        Rig awake; // WakeUp and wakeUpWrite leave the port open for the caller
        awake.port.answerWakeUps();
        awake.port.onCommand("I").reply("5\r");
        QCOMPARE(rateQuery(awake.link), std::optional<std::string>("5"));
        QCOMPARE(awake.link.wakeUpWrite("c003FA402"), devlink::Written::Sent);
        QCOMPARE(awake.port.written(), wake + "I\r" + wake + "c003FA402\r");
        QVERIFY(awake.port.isOpen());
    }

    void bufferedExchangePausesThenTakesTheWholeBuffer() {
        Rig rig(36000.25);
        rig.port.answerWakeUps();
        const std::string dump = "00 02 00 00 03 E8 2B 41 42 43 44 6D 56 20 20 20 \r\n";
        rig.port.onCommand("C002010").reply(dump, 0.01, 0.001);

        const Reply reply = rig.link.exchangeBuffered(Exchange::memoryRead("C002010"));

        QVERIFY(reply.outcome == Outcome::Replied &&
                reply.text == dump); // the whole buffer, line end included
        QCOMPARE(rig.port.written(), wake + "C002010\r");
        QVERIFY(within(rig.closedAfter("C002010\r"), 1.0 - 1e-9, 2.01));

        Rig silent; // times out silently: the pause, then more than 2 s
        silent.port.answerWakeUps();
        const Reply none =
            silent.link.exchangeBuffered(Exchange::memoryRead("C0022A0", devlink::quorvaneNotConnected));
        QVERIFY(none.outcome == Outcome::TimedOut && none.text.empty());
        QVERIFY(silent.ui.messages.empty() && !silent.port.isOpen());
        QVERIFY(within(silent.closedAfter("C0022A0\r"), 3.0, 4.02));
    }

    void pauseTwoTicksEndsJustAfterTheSecondChange() {
        for (const double start : {36000.0, 36000.999, 36000.5, 86399.3}) {
            Rig rig(start);
            rig.link.pauseTwoTicks();
            QCOMPARE(std::floor(rig.clock.time()), std::floor(start) + 2);
            QVERIFY(rig.clock.time() - std::floor(rig.clock.time()) < 0.01);
        }
    }

    void staleInputIsDiscardedBeforeEveryWakeUpByte() {
        // A late "!" of an earlier exchange must not pass for the answer of a silent instrument.
        Rig silent;
        QCOMPARE(silent.link.ensureOpen(), devlink::OpenStatus::Opened);
        silent.port.arriveIn(0, "\r\n!");
        QCOMPARE(silent.link.wakeUp(), Wake::NotConnected);
        QCOMPARE(silent.timeOf(Event::Discard, "\r\n!") >= 0, true);

        // Every wake-up byte of a full exchange comes right after a discard.
        Rig twice;
        twice.link.exchange(Exchange::clockQuery());
        const auto& events = twice.port.events();
        int wakeBytes = 0;
        for (std::size_t i = 1; i < events.size(); ++i) {
            if (events[i].kind == Event::Write && events[i].bytes == wake) {
                ++wakeBytes;
                QCOMPARE(events[i - 1].kind, Event::Discard);
            }
        }
        QCOMPARE(wakeBytes, 2);
    }

    void exchangeStartedDuringAnotherIsRefused() {
        Rig rig;
        rig.port.answerWakeUps(0.05);
        rig.port.onCommand("H").reply("24/05/17 09:08:07\r", 0.05);

        // A click handler that runs from the event loop while the clock query waits.
        std::vector<Reply> inner;
        Wake innerWake = Wake::Awake;
        bool innerSend = true;
        rig.clock.onYield = [&] {
            if (!inner.empty())
                return;
            QVERIFY(rig.link.inProgress());
            inner.push_back(rig.link.exchange(Exchange::registerQuery("B02")));
            inner.push_back(rig.link.exchangeBuffered({.command = "C002010"}));
            inner.push_back(rig.link.readLineToCr(1.0));
            innerWake = rig.link.wakeUp();
            innerSend = rig.link.send("B00");
        };
        for (int i = 0; i < 5; ++i)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused"));

        const Reply reply = rig.link.exchange(Exchange::clockQuery());

        QCOMPARE(inner.size(), std::size_t(3));
        for (const Reply& r : inner)
            QVERIFY(r.refused());
        QVERIFY(innerWake == Wake::Busy && !innerSend);
        // The running exchange is untouched, and the link takes the next one afterwards.
        QCOMPARE(reply.text, std::string("24/05/17 09:08:07"));
        QCOMPARE(rig.port.written(), wake + "H\r");
        QVERIFY(rig.ui.messages.empty());
        rig.clock.onYield = nullptr;
        rig.port.onCommand("B02").reply("0000000\r");
        QCOMPARE(rig.link.exchange(Exchange::registerQuery("B02")).outcome, Outcome::Replied);
    }

    void deviceLostEndsTheExchangeAtOnce() {
        Rig mid; // in the middle of the reply: over at once, as a silent instrument's reply would be
        mid.port.answerWakeUps();
        mid.port.onCommand("H").reply("24/05", 0.01, 0.001).thenFail(0.01);
        const Reply reply = mid.link.exchange(Exchange::clockQuery());
        QVERIFY(reply.outcome == Outcome::TimedOut && reply.portLost && reply.text == "24/05");
        QVERIFY(!mid.port.isOpen() && mid.ui.messages.empty());
        QVERIFY(mid.clock.time() - mid.timeOf(Event::Fail) < 0.002);

        Rig waking; // during the wake-up: no second try on a dead port, one message
        waking.port.on(wake).thenFail(0.05);
        const Reply lost = waking.link.exchange(Exchange::clockQuery());
        QVERIFY(lost.notConnected() && lost.portLost);
        QVERIFY(waking.port.written() == wake && waking.ui.messages.size() == 1);
        QVERIFY(waking.clock.time() - waking.timeOf(Event::Fail) < 0.002);
    }

    void portThatWillNotOpenCountsAsNotConnected() {
        using devlink::OpenStatus;
        for (const auto status : {OpenStatus::InvalidPort, OpenStatus::AccessDenied, OpenStatus::Failed}) {
            Rig rig;
            rig.port.openResult = status;
            const Reply reply = rig.link.exchange(Exchange::clockQuery());
            QVERIFY(reply.notConnected() && reply.openStatus == status && rig.port.written().empty());
            QCOMPARE(rig.link.wakeUp(), Wake::NotConnected);
            QCOMPARE(rig.ui.messages.size(), std::size_t(2));
        }
    }

    // A write: its own wake-up, the command, a wait of more than the settle time, then the bytes are
    // drained to the device before the port closes.
    void fullWakeWriteSettlesDrainsAndCloses() {
        Rig rig;
        rig.port.answerWakeUps(0.01);
        QCOMPARE(rig.link.write({.command = "b0612", .settle = 0.2}), devlink::Written::Sent);
        QCOMPARE(rig.port.written(), wake + "b0612\r");
        const auto& e = rig.port.events();
        QVERIFY(e[e.size() - 2].kind == Event::Drain && e.back().kind == Event::Close);
        QVERIFY(within(rig.closedAfter("b0612\r"), 0.2, 0.21));

        QCOMPARE(rig.link.write({.command = "b0300", .keepOpen = true}), devlink::Written::Sent);
        QVERIFY(rig.port.isOpen());
        rig.link.wait(0.1);
        QVERIFY(rig.clock.time() - rig.timeOf(Event::Write, "b0300\r") > 0.1);
        rig.link.closePort();
        QVERIFY(rig.port.events().back().kind == Event::Close && rig.ui.messages.empty());
    }

    // Unanswered wake-up bytes count over the whole call: one in the first write and one in the third
    // end the call there, with one message and without the third command.
    void wakeUpBudgetCoversAWholeCall() {
        Rig rig;
        rig.port.on(wake);
        rig.port.on(wake).reply("!");
        rig.port.on(wake).reply("!");
        devlink::WakeBudget budget;
        const auto write = [&](const char* command) {
            return rig.link.write({.command = command,
                                   .keepOpen = true,
                                   .closeSettingProgressOnFailure = true,
                                   .budget = &budget});
        };
        QCOMPARE(write("e2010"), devlink::Written::Sent);
        QCOMPARE(write("e2020"), devlink::Written::Sent);
        QCOMPARE(write("e2030"), devlink::Written::NotConnected);
        QCOMPARE(rig.port.written(), wake + "\r" + wake + "e2010\r" + wake + "e2020\r" + wake + "\r");
        QVERIFY(rig.ui.calls == notConnectedCalls && !rig.port.isOpen());
        // Without a shared budget each write has two tries of its own.
        Rig own;
        own.port.on(wake);
        own.port.on(wake).reply("!");
        QCOMPARE(own.link.write({.command = "i3"}), devlink::Written::Sent);
        QCOMPARE(own.port.written(), wake + "\r" + wake + "i3\r");
    }

    void fixedLengthRecords_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QByteArray>("record");
        const QByteArray block = "0031091312262B00002C002B00021500";
        QTest::newRow("whole") << block + "\r" << int(Outcome::Replied) << block;
        QTest::newRow("CR inside is data") << block.left(10) + "\r" + block.mid(11) + "\r"
                                           << int(Outcome::Replied) << block.left(10) + "\r" + block.mid(11);
        QTest::newRow("33rd character") << block + "F" << int(Outcome::Garbled) << block + "F";
        QTest::newRow("cut short") << block.left(20) << int(Outcome::TimedOut) << block.left(20);
    }

    void fixedLengthRecords() {
        QFETCH(QByteArray, line);
        QFETCH(int, outcome);
        QFETCH(QByteArray, record);
        Rig rig;
        rig.port.answerWakeUps();
        rig.port.onCommand("F00010001").reply(line.toStdString(), 0.01, 0.001);
        QCOMPARE(rig.link.wakeUpWrite("F00010001"), devlink::Written::Sent);
        const double start = rig.clock.time();
        const Reply reply = rig.link.readRecord(32, 5.0);
        QCOMPARE(int(reply.outcome), outcome);
        QCOMPARE(QByteArray::fromStdString(reply.text), record);
        if (reply.outcome == Outcome::TimedOut) // silence is measured from the last character
            QVERIFY(rig.clock.time() - start > 5.0 + 0.01 + 19 * 0.001);
    }

    // The program's link has no port number of its own: it asks the owner at every open.
    void portNumberIsAskedAtEveryOpen() {
        testsupport::VirtualClock clock;
        FakePort port{clock};
        testsupport::RecordingUi ui;
        int chosen = 2;
        Link link(port, clock, ui, [&chosen] { return chosen; });
        port.answerWakeUps();
        link.write({.command = "i1"});
        QCOMPARE(port.lastPortNumber(), 2);
        chosen = 5;
        link.exchange(Exchange::registerQuery("B02"));
        QCOMPARE(port.lastPortNumber(), 5);
    }
};

QTEST_GUILESS_MAIN(LinkTest)
#include "link_test.moc"
