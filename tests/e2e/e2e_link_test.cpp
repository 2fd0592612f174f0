// The link end to end: the real serial port and the real clock against the instrument emulator on a
// pseudo-terminal. The emulator's transcript is the witness of the bytes on the line. Real time, a few
// seconds in all.

#include "Emulator.h"
#include "RecordingUi.h"
#include "link/Clock.h"
#include "link/Encodings.h"
#include "link/Link.h"
#include "link/QtSerialPort.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <optional>

using devlink::Exchange;
using devlink::Link;
using devlink::OpenStatus;
using devlink::Outcome;
using devlink::Reply;
using e2e::Emulator;
using e2e::TranscriptLine;

namespace {

// A port number nothing else on the machine stands for.
constexpr int portNumber = 97;

QString q(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// The emulator, and the program's real port, clock and link to it.
struct Line {
    explicit Line(const QString& faults = {}) : sim(QStringLiteral("lumatrix"), portNumber, faults) {}
    Emulator sim;
    devlink::QtSerialPort port;
    devlink::SystemClock clock;
    testsupport::RecordingUi ui;
    Link link{port, clock, ui, portNumber};
};

// The transcript as "what | outcome" lines.
QString describe(const std::vector<TranscriptLine>& lines) {
    QStringList out;
    for (const auto& l : lines)
        out << l.what + QStringLiteral(" | ") + l.outcome;
    return out.join(QLatin1Char('\n'));
}

// Whether the text is a beginning of the clock reply's shape, "YY-MM-DD HH:MM:SS".
bool looksLikeClock(const std::string& text) {
    return QStringLiteral("00-00-00 00:00:00").startsWith(q(text).replace(QRegularExpression("[0-9]"), "0"));
}

} // namespace

class LinkEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void wakeUpQueryWriteAndReadBack();
    void silentInstrument();
    void farEndClosingMidReply();
};

// A wake-up on its own, a scale write after a wake-up and the slot read back (the queries are the
// window's end-to-end test's); the emulator saw exactly the wake-up byte answered by "!", then the
// command and CR, every time.
void LinkEndToEnd::wakeUpQueryWriteAndReadBack() {
    Line line;
    QVERIFY2(line.sim.started(), qPrintable(line.sim.error()));
    auto& [sim, port, clock, ui, link] = line;
    QCOMPARE(link.wakeUp(devlink::lumatrixNotConnected), devlink::Wake::Awake);
    link.closePort();

    // Range 4, gain slot 5 holds "GN 5" out of the box; every field of the record changes.
    const enc::ScaleRecord record = enc::scaleRecordFromTexts("2", "-12.34", "+567.89", "TEST", "Pa");
    const std::string write = enc::scaleWriteCommand(4, 5, record);
    QCOMPARE(link.openPort(), OpenStatus::Opened);
    QVERIFY(link.wakeUpTries(devlink::limits::memoryWakeUp, 2, true).awake);
    QVERIFY(link.send(write));
    link.closePort();

    const std::string readCommand = "C00" + enc::scaleSlotAddressText(4, 5);
    const Reply back = link.exchangeBuffered(Exchange::memoryRead(readCommand));
    QCOMPARE(back.outcome, Outcome::Replied);
    QCOMPARE(enc::decodeScaleRecord(enc::rightChars(back.text, 50)), record);
    QVERIFY(!port.isOpen());
    QVERIFY(ui.messages.empty());
    // Woken by arriving characters and the two-tick pause, not by polling.
    QVERIFY2(clock.yieldCount() < 300, std::to_string(clock.yieldCount()).c_str());

    sim.stop();
    // Kept in the test log: the bytes of a whole conversation as the instrument saw them.
    qInfo("emulator transcript:\n%s", qPrintable(sim.transcriptText()));
    const QString dump = q(std::string(enc::rightChars(back.text, 50)));
    QCOMPARE(describe(sim.transcript()),
             QStringList({"<80> | -> !", "<80> | -> !", q(write) + "<CR> | (memory 21C0 <- 15 bytes)",
                          "<80> | -> !", q(readCommand) + "<CR> | -> " + dump.chopped(2) + "<CR><LF>"})
                 .join('\n'));
    // The write is the scale slot's address and its 15 bytes, nothing else.
    QCOMPARE(q(write), QStringLiteral("e21C0") + q(enc::scaleRecordHex(record)));
}

// No "!" ever: two wake-up bytes each followed by a lone CR, one message, the port closed, and the
// command never sent.
void LinkEndToEnd::silentInstrument() {
    Line line(QStringLiteral("never-wake"));
    QVERIFY2(line.sim.started(), qPrintable(line.sim.error()));
    auto& [sim, port, clock, ui, link] = line;

    const Reply reply = link.exchange(Exchange::registerQuery("B02"));

    QVERIFY(reply.notConnected());
    QCOMPARE(ui.messages.size(), std::size_t(1));
    QVERIFY(!port.isOpen());
    // 0.4 s of waiting in a few sleeps.
    QVERIFY2(clock.yieldCount() < 40, std::to_string(clock.yieldCount()).c_str());

    sim.stop();
    const QString unanswered = QStringLiteral("<80> | (not answered: never-wake)\n<CR> | (lone CR: ignored)");
    QCOMPARE(describe(sim.transcript()), unanswered + '\n' + unanswered);
}

// The emulator dies while its characters trickle in: the exchange ends at once with what arrived,
// the port closed by us, and no busy waiting on the dead line.
void LinkEndToEnd::farEndClosingMidReply() {
    Line line(QStringLiteral("slow-chars=50"));
    QVERIFY2(line.sim.started(), qPrintable(line.sim.error()));
    auto& [sim, port, clock, ui, link] = line;

    // Once the emulator has taken the command, its 18 reply characters need 0.9 s; it is killed after
    // about a third of them.
    QElapsedTimer sinceKill;
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, &watch, [&] {
        if (!sim.transcriptText().contains(QLatin1String("H<CR>")))
            return;
        watch.stop();
        QTimer::singleShot(300, &watch, [&] {
            sim.stop(SIGKILL);
            sinceKill.start();
        });
    });
    watch.start();

    Exchange request = Exchange::clockQuery();
    request.replyLimit = 10.0; // an exchange that missed the loss would sit here for 10 s
    const Reply reply = link.exchange(request);
    const qint64 afterKill = sinceKill.isValid() ? sinceKill.elapsed() : -1;

    QVERIFY2(!sim.running(), "the emulator was not stopped during the reply");
    QVERIFY2(afterKill >= 0 && afterKill < 3000, std::to_string(afterKill).c_str());
    QCOMPARE(reply.outcome, Outcome::TimedOut);
    QVERIFY(reply.portLost);
    QVERIFY2(!reply.text.empty() && looksLikeClock(reply.text) && reply.text.size() < 17, reply.text.c_str());
    QVERIFY(port.failed() && !port.isOpen());
    QVERIFY2(port.errorCount() <= 2, std::to_string(port.errorCount()).c_str());
    QVERIFY2(clock.yieldCount() < 100, std::to_string(clock.yieldCount()).c_str());
    QVERIFY(ui.messages.empty());

    // The command went out after its "!"; the emulator logged nothing after it.
    const QString transcript = describe(sim.transcript());
    QVERIFY2(transcript.startsWith("<80> | -> !\nH<CR> | -> " + q(reply.text)) && transcript.count('\n') == 1,
             qPrintable(transcript));

    // With the instrument gone the next exchange finds nothing, and says so once.
    QVERIFY(link.exchange(Exchange::registerQuery("B02")).notConnected());
    QCOMPARE(ui.messages.size(), std::size_t(1));
    QVERIFY(!port.isOpen());
}

QTEST_GUILESS_MAIN(LinkEndToEnd)
#include "e2e_link_test.moc"
