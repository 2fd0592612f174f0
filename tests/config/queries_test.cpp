// The short queries: clock, recording, converter type, recording scales, and the flow unit's
// rate, next block and totalisers, byte for byte against a scripted instrument in virtual time.

#include "Rig.h"
#include "config/Queries.h"
#include "config/ReplyFields.h"

#include <QTest>

using config::InstrumentKind;
using config::QueryResult;
using configtest::Rig;
using configtest::wake;

namespace {

// Time from the n-th write to the next one.
double gapAfterWrite(const Rig& rig, std::size_t n) {
    const auto writes = rig.port.writes();
    return writes.at(n + 1).time - writes.at(n).time;
}

} // namespace

class QueriesTest : public QObject {
    Q_OBJECT

private slots:
    void clock();
    void recording();
    void recording_data();
    void noWakeUpLeavesTheModel();
    void converterTypeAndRecordingScales();
    void flowAcquisition();
    void flowAcquisition_data();
    void flowFieldRules();
    void queryStartedDuringAnotherIsRefused();
};

void QueriesTest::clock() {
    // Any separator between the fields: the date is day-month-year.
    Rig rig;
    rig.wakeUps("");
    rig.port.onCommand("H").reply("24/05/17 09:08:07\r", 0.01, 0.001);
    QCOMPARE(config::getTime(rig.model, rig.link), QueryResult::Answered);
    QCOMPARE(rig.model.date + " " + rig.model.time, QString("17-05-24 09:08:07"));

    Rig mute(InstrumentKind::Quorvane); // awake, no reply: the fields are emptied, silently
    mute.wakeUps("");
    mute.model.date = "01-01-01";
    mute.model.time = "01:01:01";
    QCOMPARE(config::getTime(mute.model, mute.link), QueryResult::NoAnswer);
    QVERIFY(mute.model.date.isEmpty() && mute.model.time.isEmpty());
    QVERIFY(mute.ui.messages.empty());
    // 2 s per character: the exchange waited that long for the first one.
    QVERIFY(mute.port.events().back().time - mute.port.writes().back().time > 2.0);
}

void QueriesTest::recording_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<QString>("shown"); // recording off, rate index, channel, rate and channel codes
    QTest::newRow("12 hour, A/B") << "00 00 00 00 00 0C 02 00\r" << true << "0 12 2 C2";
    QTest::newRow("10 sec, A") << "00 00 00 00 00 00 00 00\r" << true << "0 0 0 00";
    QTest::newRow("24 hour") << "00 00 00 00 00 0D 00\r" << true << "0 13 0 D0";
    QTest::newRow("off hides the list whatever the channel")
        << "00 00 00 00 00 0F 02 00\r" << true << "1 -1 -1 F2";
    QTest::newRow("off with a short reply") << "00 00 00 00 00 0F\r" << true << "1 -1 -1 F";
    QTest::newRow("no option for channel code 1") << "00 00 00 00 00 03 01\r" << true << "0 3 -1 31";
    QTest::newRow("no channel code") << "00 00 00 00 00 03\r" << true << "0 3 -1 3";
    // Replies that cannot be shown change nothing.
    QTest::newRow("time-out") << "" << false << "0 5 2 52";
    QTest::newRow("16 characters") << "00 00 00 00 00 0" << false << "0 5 2 52";
    QTest::newRow("rate code E") << "00 00 00 00 00 0E 02\r" << false << "0 5 2 52";
    QTest::newRow("rate code not hex") << "00 00 00 00 00 0? 02\r" << false << "0 5 2 52";
    QTest::newRow("lower-case rate code") << "00 00 00 00 00 0c 02\r" << false << "0 5 2 52";
}

void QueriesTest::recording() {
    QFETCH(QString, reply);
    QFETCH(bool, answered);
    QFETCH(QString, shown);
    Rig rig;
    rig.wakeUps("");
    rig.port.onCommand("B00").reply(reply.toStdString());
    rig.model.lumatrixRateIndex = 5;
    rig.model.recChannel = 2;
    rig.model.recRateCode = "5";
    rig.model.recChannelCode = "2";

    QCOMPARE(config::getRecording(rig.model, rig.link),
             answered ? QueryResult::Answered : QueryResult::NoAnswer);

    const config::ConfigModel& m = rig.model;
    QCOMPARE(QString("%1 %2 %3 %4%5")
                 .arg(int(m.recordingOff))
                 .arg(m.lumatrixRateIndex)
                 .arg(m.recChannel)
                 .arg(m.recRateCode, m.recChannelCode),
             shown);
    QCOMPARE(rig.port.written(), wake + "B00\r");
    QCOMPARE(rig.calls(), std::string("lockPanels | unlockPanels"));
}

void QueriesTest::noWakeUpLeavesTheModel() {
    // No "!" to either wake-up byte: a lone CR after each, one message naming the read-out unit (the
    // clock's on the flow unit too), and the model as it was.
    using Query = QueryResult (*)(config::ConfigModel&, devlink::Link&);
    const std::string box = "message Connection error: Lumatrix not connected!";
    const struct {
        InstrumentKind kind;
        Query query;
        double wakeUpLimit;
        std::string calls;
    } cases[] = {
        {InstrumentKind::Lumatrix, config::getTime, 1.0, "lockPanels | " + box + " | unlockPanels"},
        {InstrumentKind::Quorvane, config::getTime, 1.0, "lockPanels | " + box + " | unlockPanels"},
        {InstrumentKind::Lumatrix, config::getRecording, 0.2,
         "lockPanels | closeProgress 0 | " + box + " | unlockPanels"},
        {InstrumentKind::Lumatrix, config::queryConverterType, 0.2, "closeProgress 0 | " + box},
        {InstrumentKind::Lumatrix, config::queryRecordingScales, 0.2, "closeProgress 0 | " + box},
    };
    for (const auto& c : cases) {
        Rig rig(c.kind);
        rig.port.on(wake).repeat();
        rig.model.date = "01-01-01";
        rig.model.lumatrixRateIndex = 5;
        rig.model.channelRange[0] = "03";

        QCOMPARE(c.query(rig.model, rig.link), QueryResult::NotConnected);

        QCOMPARE(rig.port.written(), wake + "\r" + wake + "\r");
        QVERIFY(gapAfterWrite(rig, 2) > c.wakeUpLimit);
        QVERIFY(gapAfterWrite(rig, 2) < c.wakeUpLimit + 0.01);
        QCOMPARE(rig.calls(), c.calls);
        QVERIFY(rig.model.date == "01-01-01" && rig.model.lumatrixRateIndex == 5 &&
                rig.model.channelRange[0] == "03" && rig.model.fixedRangeCode.isEmpty());
        QVERIFY(!rig.port.isOpen());
    }
}

void QueriesTest::converterTypeAndRecordingScales() {
    // The converter type: position 8 of the reply; empty when it cannot be had, so nothing may be set.
    for (const auto& [reply, result, code] :
         {std::tuple{"00 00 03 00\r", QueryResult::Answered, "3"}, {"00 00\r", QueryResult::NoAnswer, ""}}) {
        Rig rig;
        rig.wakeUps("");
        rig.port.onCommand("B02").reply(reply);
        rig.model.fixedRangeCode = "0";
        QCOMPARE(config::queryConverterType(rig.model, rig.link), result);
        QCOMPARE(rig.model.fixedRangeCode, QString(code));
    }

    Rig rig;
    rig.wakeUps("");
    rig.port.onCommand("B10").reply("00 01 0F 0F 05 07 00 00 02 05 01 07 FF\r");
    QCOMPARE(config::queryRecordingScales(rig.model, rig.link), QueryResult::Answered);
    QCOMPARE(rig.port.written(), wake + "B10\r");
    QCOMPARE(rig.model.channelRange, (std::array<QString, 2>{"02", "01"}));
    QCOMPARE(rig.model.channelGain, (std::array<QString, 2>{"05", "07"}));
    QVERIFY(!rig.model.preset(1).range); // the presets in the same reply are not this query's business

    Rig cut;
    cut.wakeUps("");
    cut.port.onCommand("B10").reply("00 01 0F 0F 05 07 00 00 02 0\r");
    QCOMPARE(config::queryRecordingScales(cut.model, cut.link), QueryResult::NoAnswer);
    QCOMPARE(cut.model.channelRange[0], QString("02"));
    QCOMPARE(cut.model.channelGain, (std::array<QString, 2>{"0", ""}));
}

void QueriesTest::flowAcquisition_data() {
    QTest::addColumn<QString>("wakeUps"); // answered 'y' or not 'n', in turn; every later one answered
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("nextBlock");
    QTest::addColumn<QString>("totalisers");
    QTest::addColumn<QString>("expected"); // rate index, next block and its text, totalisers
    QTest::addColumn<QString>("written");  // the commands after their wake-up bytes, "." for a lone one
    const QString all = "I B00 B30";
    QTest::newRow("examples") << ""
                              << "D\r"
                              << "00 00 00 01 2C 00\r"
                              << "00 00 00 00 2B 00 30 39 2D 01 E2 40\r"
                              << "13 300 0300 012345 123456" << all;
    // What is there is read as the low digits: "01" and nothing give 1, "00", "30" and nothing 48;
    // a rate without line end ends 2 s after the character.
    QTest::newRow("cut replies") << ""
                                 << "1"
                                 << "00 00 00 01\r"
                                 << "00 00 00 00 2B 00 30\r"
                                 << "1 1 0001 000048 000000" << all;
    // The first unanswered wake-up ends it all: one message, no further byte, though the instrument
    // would answer the next one, and what was not read keeps what it showed.
    QTest::newRow("absent") << "n"
                            << "D\r"
                            << ""
                            << ""
                            << "2 42 0042 000001 000002"
                            << ".";
    // Once the instrument has answered, the fields still to come are emptied.
    QTest::newRow("gone after the rate") << "yn"
                                         << "D\r"
                                         << "00 00 00 01 2C 00\r"
                                         << ""
                                         << "13 42   "
                                         << "I .";
}

void QueriesTest::flowAcquisition() {
    QFETCH(QString, wakeUps);
    QFETCH(QString, rate);
    QFETCH(QString, nextBlock);
    QFETCH(QString, totalisers);
    QFETCH(QString, expected);
    QFETCH(QString, written);
    Rig rig(InstrumentKind::Quorvane);
    rig.wakeUps(wakeUps.toStdString());
    rig.port.onCommand("I").reply(rate.toStdString());
    rig.port.onCommand("B00").reply(nextBlock.toStdString());
    rig.port.onCommand("B30").reply(totalisers.toStdString());
    rig.model.rateIndex = 2;
    rig.model.nextBlockText = "0042";
    rig.model.nextBlock = 42;
    rig.model.totalizer = {"000001", "000002"};

    const bool answered = !wakeUps.contains('n');
    QCOMPARE(config::getRate(rig.model, rig.link),
             answered ? QueryResult::Answered : QueryResult::NotConnected);

    const config::ConfigModel& m = rig.model;
    QCOMPARE(QString("%1 %2 %3 %4 %5")
                 .arg(m.rateIndex)
                 .arg(m.nextBlock)
                 .arg(m.nextBlockText, m.totalizer[0], m.totalizer[1]),
             expected);
    std::string bytes;
    for (const QString& command : written.split(' '))
        bytes += wake + (command == "." ? "" : command.toStdString() + "\r");
    QCOMPARE(rig.port.written(), bytes);
    QCOMPARE(rig.port.openCount(), int(written.count(' ') + 1));
    QVERIFY(!rig.port.isOpen());
    const std::string progress = "lockPanels | showProgress 1 Downloading... | setProgressRange 1 0 9 | ";
    if (answered)
        QCOMPARE(rig.calls(), progress +
                                  "setProgressValue 1 1 | setProgressValue 1 2 | setProgressValue 1 4 | "
                                  "setProgressValue 1 5 | setProgressValue 1 6 | setProgressValue 1 7 | "
                                  "unlockPanels | closeProgress 1");
    else
        QVERIFY(rig.calls().ends_with("message Connection error: Quorvane not connected! | unlockPanels | "
                                      "closeProgress 1"));
    QCOMPARE(rig.ui.messages.size(), std::size_t(answered ? 0 : 1));
    QVERIFY(!rig.ui.panelsLocked);
}

void QueriesTest::flowFieldRules() {
    // The rate: the first character as a hex digit; a code past the list selects nothing.
    for (const auto& [reply, index] :
         {std::pair{"A", 10}, {"D", 13}, {"c", 12}, {"E", -1}, {"G", -1}, {"", 0}})
        QCOMPARE(config::flowRateIndex(reply), index);
    // A decimal-point byte's two digits read as a number; anything but 0..5 selects the first entry.
    for (const auto& [pair, index] : {std::pair{"04", 4}, {"09", 0}, {"0A", 0}, {"10", 0}, {"", 0}})
        QCOMPARE(config::flowDecimalPointIndex(pair), index);
}

void QueriesTest::queryStartedDuringAnotherIsRefused() {
    Rig rig;
    rig.wakeUps("");
    rig.port.onCommand("B00").reply("00 00 00 00 00 0C 02 00\r", 0.5);
    QueryResult nested = QueryResult::Answered;
    rig.clock.onYield = [&] {
        if (nested == QueryResult::Answered)
            nested = config::getTime(rig.model, rig.link);
    };

    QCOMPARE(config::getRecording(rig.model, rig.link), QueryResult::Answered);

    QCOMPARE(nested, QueryResult::Busy);
    QCOMPARE(rig.port.written(), wake + "B00\r");
    QCOMPARE(rig.model.lumatrixRateIndex, 12);
    QCOMPARE(rig.calls(), std::string("lockPanels | unlockPanels"));
}

QTEST_GUILESS_MAIN(QueriesTest)
#include "queries_test.moc"
