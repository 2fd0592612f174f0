// Register writes, the clock setting, the totalisers and the service window's commands, byte for
// byte against a scripted instrument in virtual time: what goes out, what is refused before the
// first byte, and that one unanswered wake-up ends an operation with one message.

#include "../config/Rig.h"
#include "write/ClockSetting.h"
#include "write/RegisterWrites.h"
#include "write/ServiceWindow.h"
#include "write/Totalizers.h"

#include <QTest>

using config::InstrumentKind;
using configtest::Rig;
using configtest::wake;
using writing::RegisterResult;

namespace {

// The commands on the line, lone CRs left out, joined by spaces.
QString commands(const Rig& rig) {
    QStringList out;
    for (const QString& piece : QString::fromLatin1(rig.port.written()).split(QChar(0x80)))
        for (const QString& line : piece.split(u'\r', Qt::SkipEmptyParts))
            out << line;
    return out.join(u' ');
}

// What every operation that went to the line must leave: panels locked before anything but a
// question and unlocked last, the port closed, no window left open.
void checkSettled(const Rig& rig) {
    const auto first = std::find_if(rig.ui.calls.begin(), rig.ui.calls.end(),
                                    [](const std::string& c) { return !c.starts_with("message Quorvane Totalizer"); });
    QVERIFY(first != rig.ui.calls.end());
    QCOMPARE(*first, std::string("lockPanels"));
    QCOMPARE(rig.ui.calls.back(), std::string("unlockPanels"));
    QVERIFY(!rig.port.isOpen());
    int shown = 0;
    for (const std::string& c : rig.ui.calls)
        shown += c.starts_with("showProgress") ? 1 : c.starts_with("closeProgress") ? -1 : 0;
    QVERIFY(shown <= 0);
}

// Seconds from the write holding `command` to the next write, or to the last event (the close)
// when it is the last write.
double pauseAfter(const Rig& rig, const QString& command) {
    const auto writes = rig.port.writes();
    for (std::size_t i = 0; i < writes.size(); ++i)
        if (writes[i].bytes == command.toStdString() + "\r")
            return (i + 1 < writes.size() ? writes[i + 1].time : rig.port.events().back().time) - writes[i].time;
    return -1;
}

// Every command of `sent` but the last `unpaused` ones followed by more than `seconds`.
void checkPauses(const Rig& rig, const QString& sent, double seconds, int unpaused = 0) {
    const QStringList each = sent.split(u' ');
    for (qsizetype i = 0; i + unpaused < each.size(); ++i)
        QVERIFY2(pauseAfter(rig, each[i]) > seconds, qPrintable(each[i]));
}

} // namespace

class RegistersTest : public QObject {
    Q_OBJECT

private slots:
    void recording_data();
    void recording();
    void flowRate_data();
    void flowRate();
    void silentInstrument_data();
    void silentInstrument();
    void presetPair();
    void clock_data();
    void clock();
    void totalizer_data();
    void totalizer();
    void totalizerDeclined();
    void service_data();
    void service();
};

// ---- rate and recorded channels

void RegistersTest::recording_data() {
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("sent"); // or the refusal
    QTest::newRow("12 hour, A/B") << 12 << 2 << "iC b0612";
    QTest::newRow("10 sec, A") << 0 << 0 << "i0 b0610";
    QTest::newRow("no rate chosen") << -1 << 2 << "Choose a recording rate first.";
    QTest::newRow("no channel chosen") << 3 << -1 << "Choose the channels to record (A or A/B) first.";
}

void RegistersTest::recording() {
    QFETCH(int, rate);
    QFETCH(int, channel);
    QFETCH(QString, sent);
    Rig rig;
    rig.wakeUps("");
    rig.model.lumatrixRateIndex = rate;
    rig.model.recChannel = channel;
    const RegisterResult result = writing::setRecording(rig.model, rig.link);
    if (result == RegisterResult::Refused) {
        QVERIFY(rig.port.written().empty());
        QCOMPARE(rig.calls(), "message Error: " + sent.toStdString());
        return;
    }
    QCOMPARE(result, RegisterResult::Sent);
    QCOMPARE(commands(rig), sent);
    checkPauses(rig, sent, 0.2);
    QCOMPARE(rig.count("showProgress 2 Setting Lumatrix type..."), 2);
    checkSettled(rig);
}

// ---- the flow unit's next block and rate

void RegistersTest::flowRate_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("rate");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("sent"); // or the refusal
    QTest::newRow("separators dropped") << "1.234" << 13 << "1234" << "b0304 b04D2 iD";
    QTest::newRow("padded") << "5" << 0 << "0005" << "b0300 b0405 i0";
    QTest::newRow("largest") << "65,535" << 7 << "65535" << "b03FF b04FF i7";
    QTest::newRow("empty") << "" << 7 << "" << "Incorrect block inserted";
    QTest::newRow("letters") << "12a" << 7 << "12a" << "Incorrect block inserted";
    QTest::newRow("too big") << "65536" << 7 << "65536" << "Incorrect block inserted";
    QTest::newRow("negative") << "-1" << 7 << "-1" << "Incorrect block inserted";
    QTest::newRow("no rate chosen") << "5" << -1 << "5" << "Choose a rate first.";
}

void RegistersTest::flowRate() {
    QFETCH(QString, box);
    QFETCH(int, rate);
    QFETCH(QString, shown);
    QFETCH(QString, sent);
    Rig rig(InstrumentKind::Quorvane);
    rig.wakeUps("");
    rig.model.nextBlockText = box;
    rig.model.rateIndex = rate;
    const RegisterResult result = writing::setRate(rig.model, rig.link);
    QCOMPARE(rig.model.nextBlockText, shown);
    if (result == RegisterResult::Refused) {
        QVERIFY(rig.port.written().empty());
        QCOMPARE(rig.ui.messages.size(), std::size_t(1));
        QCOMPARE(rig.ui.messages[0].text, sent.toStdString());
        QCOMPARE(rig.ui.messages[0].title, std::string("Error"));
        QCOMPARE(rig.ui.messages[0].icon, devlink::Icon::Exclamation);
        return;
    }
    QCOMPARE(result, RegisterResult::Sent);
    QCOMPARE(commands(rig), sent);
    checkPauses(rig, sent, 1.0); // the two-tick pause
    QVERIFY(rig.calls().find("setProgressValue 0 4") != std::string::npos);
    checkSettled(rig);

    writing::resetBlock(rig.model);
    QCOMPARE(rig.model.nextBlockText, QString("0001"));
}

// ---- an instrument that never answers: one message per operation, nothing sent

void RegistersTest::silentInstrument_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("wakeUps"); // 'y' answered, 'n' not
    QTest::addColumn<QString>("sent");
    QTest::newRow("recording, at once") << "recording" << "nn" << "";
    QTest::newRow("recording, before the channels") << "recording" << "ynn" << "i3";
    QTest::newRow("flow rate, at once") << "rate" << "n" << "";
    QTest::newRow("flow rate, before the low byte") << "rate" << "yn" << "b0301";
    QTest::newRow("totaliser, before the last byte") << "totalizer" << "yyn" << "b3500 b3600";
    QTest::newRow("clock") << "clock" << "nn" << "";
    QTest::newRow("service, between commands") << "service" << "ynn" << "b0002";
}

void RegistersTest::silentInstrument() {
    QFETCH(QString, operation);
    QFETCH(QString, wakeUps);
    QFETCH(QString, sent);
    const bool flow = operation == "rate" || operation == "totalizer";
    Rig rig(flow ? InstrumentKind::Quorvane : InstrumentKind::Lumatrix);
    for (QChar c : wakeUps) {
        if (c == u'y')
            rig.port.on(wake).reply("!");
        else
            rig.port.on(wake);
    }
    rig.model.lumatrixRateIndex = 3;
    rig.model.recChannel = 2;
    rig.model.nextBlockText = "301";
    rig.model.rateIndex = 2;
    rig.model.totalizer[0] = "123";
    rig.model.date = "31-12-25";
    rig.model.time = "08:05:00";
    rig.ui.answers = {devlink::Answer::Yes};

    RegisterResult result = RegisterResult::Sent;
    if (operation == "recording")
        result = writing::setRecording(rig.model, rig.link);
    else if (operation == "rate")
        result = writing::setRate(rig.model, rig.link);
    else if (operation == "totalizer")
        result = writing::setTotalizer(rig.model, rig.link, 1);
    else if (operation == "clock")
        result = writing::setClock(rig.model, rig.link);
    else
        result = writing::sendSingleScaleType(rig.link, 3);

    QCOMPARE(result, RegisterResult::NotConnected);
    QCOMPARE(commands(rig), sent);
    QCOMPARE(rig.count(std::string("message Connection error: ") +
                       (flow ? "Quorvane not connected!" : "Lumatrix not connected!")),
             1);
    // The wake-up waited its 1 s limit and no longer.
    const auto writes = rig.port.writes();
    QVERIFY(rig.port.events().back().time - writes.back().time < 1.1);
    // The clock boxes keep what the user typed when the command could not go out.
    QCOMPARE(rig.model.date, QString("31-12-25"));
    checkSettled(rig);
}

// ---- one preset pair

void RegistersTest::presetPair() {
    const struct {
        int reg;
        const char* sent;
    } rows[] = {{18, "b1803 b1905"}, {20, "b1A03 b1B05"}, {10, "b1003 b1105"}};
    for (const auto& row : rows) {
        Rig rig;
        rig.wakeUps("");
        QCOMPARE(writing::sendPresetPair(rig.link, row.reg, 3, 5), devlink::Written::Sent);
        QCOMPARE(commands(rig), QString(row.sent));
        checkPauses(rig, row.sent, 0.1, 1);
        QVERIFY(!rig.port.isOpen());
    }

    // The second wake-up has its limit and its message.
    Rig silent;
    silent.wakeUps("ynn");
    silent.port.on(wake).repeat();
    QCOMPARE(writing::sendPresetPair(silent.link, 18, 3, 5), devlink::Written::NotConnected);
    QCOMPARE(commands(silent), QString("b1803"));
    QCOMPARE(silent.ui.messages.size(), std::size_t(1));
}

// ---- clock

void RegistersTest::clock_data() {
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("sent"); // or the refusal
    QTest::newRow("well formed") << "07-03-25" << "14:30:00" << "h25-03-07 14:30:00 H";
    QTest::newRow("leap day") << "29-02-24" << "23:59:59" << "h24-02-29 23:59:59 H";
    const QString badDate = "The date is not a real date in the form dd-mm-yy.";
    const QString badTime = "The time is not a real time in the form hh:mm:ss.";
    QTest::newRow("31 February") << "31-02-26" << "14:30:00" << badDate;
    QTest::newRow("no leap day") << "29-02-25" << "14:30:00" << badDate;
    QTest::newRow("short date") << "7-3-25" << "14:30:00" << badDate;
    QTest::newRow("empty date") << "" << "14:30:00" << badDate;
    QTest::newRow("25 hours") << "07-03-25" << "25:00:00" << badTime;
    QTest::newRow("empty time") << "07-03-25" << "" << badTime;
    QTest::newRow("letters") << "07-03-25" << "ab:cd:ef" << badTime;
}

void RegistersTest::clock() {
    QFETCH(QString, date);
    QFETCH(QString, time);
    QFETCH(QString, sent);
    Rig rig;
    rig.wakeUps("");
    rig.port.onCommand("H").reply("25-03-07 14:30:01\r");
    rig.model.date = date;
    rig.model.time = time;
    const RegisterResult result = writing::setClock(rig.model, rig.link);
    if (result == RegisterResult::Refused) {
        QVERIFY(rig.port.written().empty());
        QCOMPARE(rig.calls(), "message Error: " + sent.toStdString());
        QCOMPARE(rig.model.date, date);
        QCOMPARE(rig.model.time, time);
        return;
    }
    QCOMPARE(commands(rig), sent);
    // The boxes show what the unit answered.
    QCOMPARE(rig.model.date, QString("07-03-25"));
    QCOMPARE(rig.model.time, QString("14:30:01"));
    checkSettled(rig);

    // The computer's clock, whatever the regional settings: digits in fixed places.
    rig.ui.calendar = {2025, 7, 3, 9, 5, 7};
    writing::useSystemTime(rig.model, rig.ui);
    QCOMPARE(rig.model.date, QString("03-07-25"));
    QCOMPARE(rig.model.time, QString("09:05:07"));
}

// ---- totalisers

void RegistersTest::totalizer_data() {
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("sent"); // or the refusal
    QTest::newRow("123") << 1 << "123" << "000123" << "b3500 b3600 b377B";
    QTest::newRow("1000000 on B") << 2 << "1000000" << "1000000" << "b450F b4642 b4740";
    QTest::newRow("decimals rounded") << 1 << "12.6" << "000013" << "b3500 b3600 b370D";
    QTest::newRow("largest") << 2 << "16777215" << "16777215" << "b45FF b46FF b47FF";
    const QString refusedA = "Totalizer Ch. A: enter a whole number from 0 to 16777215.";
    QTest::newRow("empty") << 1 << "" << "" << refusedA;
    QTest::newRow("letters") << 1 << "12x" << "12x" << refusedA;
    QTest::newRow("negative") << 1 << "-1" << "-1" << refusedA;
    QTest::newRow("too big") << 2 << "16777216" << "16777216"
                             << "Totalizer Ch. B: enter a whole number from 0 to 16777215.";
}

void RegistersTest::totalizer() {
    QFETCH(int, channel);
    QFETCH(QString, box);
    QFETCH(QString, shown);
    QFETCH(QString, sent);
    Rig rig(InstrumentKind::Quorvane);
    rig.wakeUps("");
    rig.ui.answers = {devlink::Answer::Yes};
    rig.model.totalizer[channel - 1] = box;
    const RegisterResult result = writing::setTotalizer(rig.model, rig.link, channel);
    QCOMPARE(rig.model.totalizer[channel - 1], shown);
    if (result == RegisterResult::Refused) {
        QVERIFY(rig.port.written().empty());
        QCOMPARE(rig.calls(), "message Error: " + sent.toStdString());
        return;
    }
    QCOMPARE(commands(rig), sent);
    checkPauses(rig, sent, 1.0);
    QCOMPARE(rig.ui.messages[0].title, std::string("Quorvane Totalizer"));
    QCOMPARE(rig.ui.messages[0].buttons, devlink::Buttons::YesNo);
    QVERIFY(rig.calls().find("setProgressLabel 0 Resetting Totalizer CH. " + std::to_string(channel) + "...") !=
            std::string::npos);
}

void RegistersTest::totalizerDeclined() {
    Rig rig(InstrumentKind::Quorvane);
    rig.wakeUps("");
    rig.ui.answers = {devlink::Answer::No};
    rig.model.totalizer[0] = "123";
    QCOMPARE(writing::setTotalizer(rig.model, rig.link, 1), RegisterResult::Declined);
    QCOMPARE(rig.model.totalizer[0], QString("123"));
    QVERIFY(rig.port.written().empty());
    QCOMPARE(rig.ui.calls.size(), std::size_t(1));
}

// ---- service window

void RegistersTest::service_data() {
    QTest::addColumn<int>("choice");
    QTest::addColumn<QString>("sent");
    QTest::newRow("Open Scale") << 0 << "b0200 a07B00";
    QTest::newRow("200 mV") << 3 << "b0002 b0203 a08002 a07B03";
    QTest::newRow("4-20 mA") << 6 << "b0005 b0206 a08005 a07B06";
}

void RegistersTest::service() {
    QFETCH(int, choice);
    QFETCH(QString, sent);
    Rig rig;
    rig.wakeUps("");
    QCOMPARE(writing::sendSingleScaleType(rig.link, choice), RegisterResult::Sent);
    QCOMPARE(commands(rig), sent);
    checkPauses(rig, sent, 0.2, 1);
    checkSettled(rig);

    // The rate button alone: no channel command follows.
    Rig rate;
    rate.wakeUps("");
    QCOMPARE(writing::sendRateCommand(rate.link, 7), RegisterResult::Sent);
    QCOMPARE(commands(rate), QString("i7"));
    QCOMPARE(writing::sendRateCommand(rate.link, -1), RegisterResult::Refused);
    QCOMPARE(commands(rate), QString("i7"));
}

QTEST_GUILESS_MAIN(RegistersTest)
#include "registers_test.moc"
