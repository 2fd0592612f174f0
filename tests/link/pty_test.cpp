// The real port and the real clock over a pseudo-terminal: the instrument's side is played by
// this test on the master end. Runs in real time (well under two seconds in all).

#include "RecordingUi.h"
#include "link/Clock.h"
#include "link/Link.h"
#include "link/QtSerialPort.h"

#include <QSocketNotifier>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using devlink::Link;
using devlink::Outcome;
using devlink::Reply;

namespace {

constexpr int portNumber = 90;

// The instrument's end of the line. `react` sees everything received so far after each read.
class FarEnd {
public:
    FarEnd() {
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
            return;
        termios raw{};
        ::tcgetattr(slave_, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(slave_, TCSANOW, &raw);
        device = name;
        notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { take(); });
        qputenv(("SERIAL_COM" + std::to_string(portNumber)).c_str(), QByteArray::fromStdString(device));
    }
    ~FarEnd() {
        hangUp();
        if (slave_ >= 0)
            ::close(slave_);
    }

    bool ok() const { return master_ >= 0 && !device.empty(); }
    void send(const std::string& bytes) {
        if (master_ >= 0 && ::write(master_, bytes.data(), bytes.size()) < 0)
            qWarning("far end: write failed");
    }
    // As if the cable were pulled.
    void hangUp() {
        notifier_.reset();
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

    std::string device;
    std::string received;
    std::function<void()> react;

private:
    void take() {
        char buffer[256];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0)
            return;
        received.append(buffer, static_cast<std::size_t>(n));
        if (react)
            react();
    }

    int master_ = -1;
    int slave_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

class PtyTest : public QObject {
    Q_OBJECT

private slots:
    void wakeUpQueryAndReply();
    void silentFarEndTimesOut();
    void farEndClosingMidReplyEndsTheExchange();
};

void PtyTest::wakeUpQueryAndReply() {
    FarEnd far;
    QVERIFY(far.ok());
    far.react = [&] {
        if (endsWith(far.received, "\x80"))
            far.send("!");
        else if (endsWith(far.received, "H\r"))
            far.send("24/05/17 09:08:07\r");
    };
    devlink::QtSerialPort port;
    devlink::SystemClock clock;
    testsupport::RecordingUi ui;
    Link link(port, clock, ui, portNumber);

    const Reply reply = link.exchange({.command = "H"});

    QCOMPARE(reply.outcome, Outcome::Replied);
    QCOMPARE(reply.text, std::string("24/05/17 09:08:07"));
    QCOMPARE(far.received, std::string("\x80H\r"));
    QVERIFY(!port.isOpen());
    QVERIFY(ui.messages.empty());
    // Woken by characters, not by polling.
    QVERIFY(clock.yieldCount() < 60);
}

void PtyTest::silentFarEndTimesOut() {
    FarEnd far;
    QVERIFY(far.ok());
    devlink::QtSerialPort port;
    devlink::SystemClock clock;
    testsupport::RecordingUi ui;
    Link link(port, clock, ui, portNumber);

    const Reply reply = link.exchange({.command = "B02", .wakeUpLimit = 0.2, .replyLimit = 1.0});
    QCoreApplication::processEvents();

    QVERIFY(reply.notConnected());
    QCOMPARE(far.received, std::string("\x80\r\x80\r"));
    QCOMPARE(ui.messages.size(), std::size_t(1));
    QCOMPARE(ui.messages[0].text, std::string("Lumatrix not connected!"));
    QVERIFY(!port.isOpen());
    // 0.4 s of waiting in a few sleeps, not a busy loop.
    QVERIFY(clock.yieldCount() < 20);
}

void PtyTest::farEndClosingMidReplyEndsTheExchange() {
    FarEnd far;
    QVERIFY(far.ok());
    far.react = [&] {
        if (endsWith(far.received, "\x80")) {
            far.send("!");
        } else if (endsWith(far.received, "H\r")) {
            far.send("24/05");
            QTimer::singleShot(20, [&] { far.hangUp(); });
        }
    };
    devlink::QtSerialPort port;
    devlink::SystemClock clock;
    testsupport::RecordingUi ui;
    Link link(port, clock, ui, portNumber);

    const Reply reply = link.exchange({.command = "H", .replyLimit = 5.0});

    // The first error closed the port: no flood of errors, no spinning wait.
    QVERIFY2(clock.yieldCount() < 60, std::to_string(clock.yieldCount()).c_str());
    QVERIFY2(port.errorCount() <= 2, std::to_string(port.errorCount()).c_str());
    QVERIFY(port.failed());
    QVERIFY(!port.isOpen());
    QVERIFY(reply.portLost);
    QCOMPARE(reply.outcome, Outcome::TimedOut);
    // The link is usable again for the next exchange (which finds no instrument).
    QVERIFY(link.exchange({.command = "H", .wakeUpLimit = 0.05}).notConnected());
}

QTEST_GUILESS_MAIN(PtyTest)
#include "pty_test.moc"
