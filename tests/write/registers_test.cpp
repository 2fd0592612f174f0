// Register writes, clock, totalisers and service commands against a scripted instrument in virtual
// time: bytes and pauses, refusals before the first byte, one message after an unanswered wake-up.

#include "../config/Rig.h"
#include "write/ClockSetting.h"
#include "write/RegisterWrites.h"
#include "write/ServiceWindow.h"
#include "write/Totalizers.h"

#include <QTest>

#include <functional>

using config::InstrumentKind;
using config::ConfigModel;
using configtest::Rig;
using configtest::wake;
using writing::RegisterResult;

namespace {

// The commands on the line, lone CRs left out, joined by spaces.
QString commands(const Rig& rig) {
    QStringList out;
    for (const QString& piece : QString::fromLatin1(rig.port.written()).split(QChar(0x80)))
        out << piece.split(u'\r', Qt::SkipEmptyParts);
    return out.join(u' ');
}

// Seconds from each command to the next write (the last: to the close).
QList<double> pauses(const Rig& rig) {
    QList<double> out;
    const auto writes = rig.port.writes();
    for (std::size_t i = 0; i < writes.size(); ++i)
        if (writes[i].bytes.size() > 1)
            out << (i + 1 < writes.size() ? writes[i + 1].time : rig.port.events().back().time) - writes[i].time;
    return out;
}

// Panels locked before anything but the question and unlocked last, port closed, no window open.
void checkSettled(const Rig& rig) {
    auto call = rig.ui.calls.begin();
    while (call != rig.ui.calls.end() && call->starts_with("message Quorvane Totalizer"))
        ++call;
    QVERIFY(call != rig.ui.calls.end() && *call == "lockPanels");
    QCOMPARE(rig.ui.calls.back(), std::string("unlockPanels"));
    QVERIFY(!rig.port.isOpen());
    int open = 0;
    for (const std::string& c : rig.ui.calls)
        open += c.starts_with("showProgress") ? 1 : c.starts_with("closeProgress") ? -1 : 0;
    QVERIFY(open <= 0);
}

using Operation = std::function<RegisterResult(ConfigModel&, devlink::Link&)>;

Operation recording(int rate, int channel) {
    return [=](ConfigModel& m, devlink::Link& link) {
        m.lumatrixRateIndex = rate;
        m.recChannel = channel;
        return writing::setRecording(m, link);
    };
}
Operation flowRate(const char* box, int rate) {
    return [=](ConfigModel& m, devlink::Link& link) {
        m.nextBlockText = box;
        m.rateIndex = rate;
        return writing::setRate(m, link);
    };
}
Operation clock(const char* date, const char* time) {
    return [=](ConfigModel& m, devlink::Link& link) {
        m.date = date;
        m.time = time;
        return writing::setClock(m, link);
    };
}
Operation totalizer(int channel, const char* box) {
    return [=](ConfigModel& m, devlink::Link& link) {
        m.totalizer[channel - 1] = box;
        return writing::setTotalizer(m, link, channel);
    };
}
Operation service(int choice) {
    return [=](ConfigModel&, devlink::Link& link) { return writing::sendSingleScaleType(link, choice); };
}
Operation serviceRate(int index) {
    return [=](ConfigModel&, devlink::Link& link) { return writing::sendRateCommand(link, index); };
}

struct Case {
    const char* name;
    Operation run;
    const char* sent;  // the commands, or the refusal's text
    double pause = -1; // more than this after every command...
    int unpaused = 0;  // ...but the last ones
    QString (*box)(const ConfigModel&) = nullptr; // the box the operation rewrites...
    const char* shown = nullptr;                   // ...and what it shows afterwards
};

QString block(const ConfigModel& m) { return m.nextBlockText; }
QString totalA(const ConfigModel& m) { return m.totalizer[0]; }
QString dateTime(const ConfigModel& m) { return m.date + ' ' + m.time; }

const Case cases[] = {
    {"recording 12 hour A/B", recording(12, 2), "iC b0612", 0.2},
    {"recording without rate", recording(-1, 2), "Choose a recording rate first."},
    {"recording without channels", recording(3, -1), "Choose the channels to record (A or A/B) first."},
    {"block with separators", flowRate("1.234", 13), "b0304 b04D2 iD", 1.0, 0, block, "1234"},
    {"largest block", flowRate("65,535", 7), "b03FF b04FF i7", 1.0, 0, block, "65535"},
    {"empty block", flowRate("", 7), "Incorrect block inserted", 0, 0, block, ""},
    {"block with letters", flowRate("12a", 7), "Incorrect block inserted", 0, 0, block, "12a"},
    {"block 65536", flowRate("65536", 7), "Incorrect block inserted", 0, 0, block, "65536"},
    {"flow rate without rate", flowRate("5", -1), "Choose a rate first.", 0, 0, block, "5"},
    {"clock", clock("07-03-25", "14:30:00"), "h25-03-07 14:30:00 H", -1, 0, dateTime, "07-03-25 14:30:01"},
    {"leap day", clock("29-02-24", "23:59:59"), "h24-02-29 23:59:59 H", -1, 0, dateTime, "07-03-25 14:30:01"},
    {"31 February", clock("31-02-26", "14:30:00"), "The date is not a real date in the form dd-mm-yy.", 0, 0, dateTime,
     "31-02-26 14:30:00"},
    {"short date", clock("7-3-25", "14:30:00"), "The date is not a real date in the form dd-mm-yy."},
    {"25 hours", clock("07-03-25", "25:00:00"), "The time is not a real time in the form hh:mm:ss.", 0, 0, dateTime,
     "07-03-25 25:00:00"},
    {"totaliser 123", totalizer(1, "123"), "b3500 b3600 b377B", 1.0, 0, totalA, "000123"},
    {"totaliser rounded", totalizer(1, "12.6"), "b3500 b3600 b370D", 1.0, 0, totalA, "000013"},
    {"largest total", totalizer(2, "16777215"), "b45FF b46FF b47FF", 1.0},
    {"total with letters", totalizer(1, "12x"), "Totalizer Ch. A: enter a whole number from 0 to 16777215.", 0, 0, totalA,
     "12x"},
    {"negative total", totalizer(1, "-1"), "Totalizer Ch. A: enter a whole number from 0 to 16777215."},
    {"total too big", totalizer(2, "16777216"), "Totalizer Ch. B: enter a whole number from 0 to 16777215."},
    {"200 mV", service(3), "b0002 b0203 a08002 a07B03", 0.2, 1},
    {"service rate 30 min", serviceRate(7), "i7", 0.2},
    {"service rate without selection", serviceRate(-1), "Choose a recording rate first."},
};

} // namespace

class RegistersTest : public QObject {
    Q_OBJECT

private slots:
    void sentOrRefused() {
        for (const Case& c : cases) {
            const QString sent = QString::fromLatin1(c.sent);
            Rig rig;
            rig.wakeUps("");
            rig.port.onCommand("H").reply("25-03-07 14:30:01\r");
            rig.ui.answers = {devlink::Answer::Yes};
            const RegisterResult result = c.run(rig.model, rig.link);
            if (c.box)
                QCOMPARE(c.box(rig.model), QString::fromLatin1(c.shown));
            if (result == RegisterResult::Refused) {
                QVERIFY2(rig.port.written().empty(), c.name);
                QCOMPARE(rig.calls(), "message Error: " + sent.toStdString());
                continue;
            }
            QCOMPARE(result, RegisterResult::Sent);
            QCOMPARE(commands(rig), sent);
            const QList<double> gaps = pauses(rig);
            for (qsizetype i = 0; i + c.unpaused < gaps.size(); ++i)
                QVERIFY2(gaps[i] > c.pause, c.name);
            checkSettled(rig);
        }
    }

    // An instrument that stops answering mid-way: one message, nothing sent after it, the wait 1 s at
    // most. (A unit silent from the start is the end-to-end test's.)
    void silentInstrument_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("wakeUps"); // 'y' answered, 'n' not
        QTest::addColumn<QString>("sent");
        QTest::newRow("recording, before the channels") << "recording" << "ynn" << "i3";
        QTest::newRow("flow rate, before the low byte") << "rate" << "yn" << "b0301";
        QTest::newRow("totaliser, before the last byte") << "totalizer" << "yyn" << "b3500 b3600";
        QTest::newRow("clock") << "clock" << "nn" << "";
        QTest::newRow("service, between commands") << "service" << "ynn" << "b0002";
    }

    void silentInstrument() {
        QFETCH(QString, operation);
        QFETCH(QString, wakeUps);
        QFETCH(QString, sent);
        const bool flow = operation == "rate" || operation == "totalizer";
        Rig rig(flow ? InstrumentKind::Quorvane : InstrumentKind::Lumatrix);
        for (QChar c : wakeUps)
            c == u'y' ? (void)rig.port.on(wake).reply("!") : (void)rig.port.on(wake);
        rig.ui.answers = {devlink::Answer::Yes};
        const std::map<QString, Operation> run = {{"recording", recording(3, 2)},
                                                  {"rate", flowRate("301", 2)},
                                                  {"totalizer", totalizer(1, "123")},
                                                  {"clock", clock("31-12-25", "08:05:00")},
                                                  {"service", service(3)}};
        QCOMPARE(run.at(operation)(rig.model, rig.link), RegisterResult::NotConnected);
        QCOMPARE(commands(rig), sent);
        QCOMPARE(rig.count(std::string("message Connection error: ") +
                           (flow ? "Quorvane not connected!" : "Lumatrix not connected!")),
                 1);
        QVERIFY(rig.port.events().back().time - rig.port.writes().back().time < 1.1);
        // The clock boxes keep what the user typed when the command could not go out.
        QCOMPARE(rig.model.date, QString(operation == "clock" ? "31-12-25" : ""));
        checkSettled(rig);
    }

    // The pair's bytes are the presets test's; here the second wake-up's limit and message.
    void presetPair() {
        Rig silent;
        silent.wakeUps("ynn");
        silent.port.on(wake).repeat();
        QCOMPARE(writing::sendPresetPair(silent.link, 18, 3, 5), devlink::Written::NotConnected);
        QCOMPARE(commands(silent), QString("b1803"));
        QCOMPARE(silent.ui.messages.size(), std::size_t(1));
    }

    void smallThings() {
        Rig rig(InstrumentKind::Quorvane);
        // No to the totaliser question changes nothing, not even the box.
        rig.ui.answers = {devlink::Answer::No};
        rig.model.totalizer[0] = "123";
        QCOMPARE(writing::setTotalizer(rig.model, rig.link, 1), RegisterResult::Declined);
        QCOMPARE(rig.model.totalizer[0], QString("123"));
        QVERIFY(rig.port.written().empty());
        QCOMPARE(rig.ui.messages[0].buttons, devlink::Buttons::YesNo);

        writing::resetBlock(rig.model);
        QCOMPARE(rig.model.nextBlockText, QString("0001"));

        // The computer's clock, whatever the regional settings: digits in fixed places.
        rig.ui.calendar = {2025, 7, 3, 9, 5, 7};
        writing::useSystemTime(rig.model, rig.ui);
        QCOMPARE(rig.model.date + ' ' + rig.model.time, QString("03-07-25 09:05:07"));
    }
};

QTEST_GUILESS_MAIN(RegistersTest)
#include "registers_test.moc"
