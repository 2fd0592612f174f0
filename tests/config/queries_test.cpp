// The short queries: clock, recording, converter type, recording scales, and the flow unit's
// rate, next block and totalisers, byte for byte against a scripted instrument in virtual time.

#include "Rig.h"
#include "config/Queries.h"

#include <QTest>

using config::InstrumentKind;
using config::QueryResult;
using configtest::Rig;
using configtest::wake;

namespace {

// Time from the n-th wake-up byte to the write that followed it.
double waitAfterWakeUp(const Rig& rig, std::size_t n) {
    const auto writes = rig.port.writes();
    std::size_t seen = 0;
    for (std::size_t i = 0; i + 1 < writes.size(); ++i) {
        if (writes[i].bytes == wake && ++seen == n)
            return writes[i + 1].time - writes[i].time;
    }
    return -1;
}

} // namespace

class QueriesTest : public QObject {
    Q_OBJECT

private slots:
    void clockReplyFillsDateAndTime();
    void clockTimeOutEmptiesTheFields();
    void clockWithoutWakeUpNamesTheReadOutUnitForBoth();
    void recordingRateAndChannels();
    void recordingRateAndChannels_data();
    void recordingReplyThatCannotBeShownChangesNothing();
    void recordingReplyThatCannotBeShownChangesNothing_data();
    void recordingWithoutWakeUp();
    void converterType();
    void recordingScales();
    void flowRateNextBlockAndTotalisers();
    void flowRateIndexes();
    void flowRateIndexes_data();
    void flowInstrumentAbsent();
    void flowCutReplies();
    void queryStartedDuringAnotherIsRefused();
};

void QueriesTest::clockReplyFillsDateAndTime() {
    Rig rig;
    rig.wakeUps("");
    rig.port.onCommand("H").reply("24/05/17 09:08:07\r", 0.01, 0.001);

    QCOMPARE(config::getTime(rig.model, rig.link), QueryResult::Answered);

    QCOMPARE(rig.port.written(), wake + "H\r");
    QCOMPARE(rig.model.date, QString("17-05-24"));
    QCOMPARE(rig.model.time, QString("09:08:07"));
    QCOMPARE(rig.ui.calls, (std::vector<std::string>{"lockPanels", "unlockPanels"}));
    QVERIFY(!rig.port.isOpen());
}

void QueriesTest::clockTimeOutEmptiesTheFields() {
    Rig rig(InstrumentKind::Quorvane);
    rig.wakeUps("");
    rig.model.date = "01-01-01";
    rig.model.time = "01:01:01";

    QCOMPARE(config::getTime(rig.model, rig.link), QueryResult::NoAnswer);

    QVERIFY(rig.model.date.isEmpty());
    QVERIFY(rig.model.time.isEmpty());
    QVERIFY(rig.ui.messages.empty());
    // 2 s per character: the exchange waited that long for the first one.
    QVERIFY(rig.port.events().back().time - rig.port.writes().back().time > 2.0);
}

void QueriesTest::clockWithoutWakeUpNamesTheReadOutUnitForBoth() {
    for (InstrumentKind kind : {InstrumentKind::Lumatrix, InstrumentKind::Quorvane}) {
        Rig rig(kind);
        rig.port.on(wake).repeat();
        rig.model.date = "01-01-01";

        QCOMPARE(config::getTime(rig.model, rig.link), QueryResult::NotConnected);

        QCOMPARE(rig.port.written(), wake + "\r" + wake + "\r");
        QVERIFY(waitAfterWakeUp(rig, 1) > 1.0);
        QVERIFY(waitAfterWakeUp(rig, 1) < 1.01);
        // The clock query leaves the progress windows alone.
        QCOMPARE(rig.ui.calls,
                 (std::vector<std::string>{"lockPanels", "message Connection error: Lumatrix not connected!",
                                           "unlockPanels"}));
        QCOMPARE(rig.model.date, QString("01-01-01"));
    }
}

void QueriesTest::recordingRateAndChannels_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("off");
    QTest::addColumn<int>("rateIndex");
    QTest::addColumn<int>("channel");
    QTest::newRow("12 hour, A/B") << "00 00 00 00 00 0C 02 00" << false << 12 << 2;
    QTest::newRow("10 sec, A") << "00 00 00 00 00 00 00 00" << false << 0 << 0;
    QTest::newRow("24 hour") << "00 00 00 00 00 0D 00" << false << 13 << 0;
    QTest::newRow("10 min") << "00 00 00 00 00 06 02" << false << 6 << 2;
    QTest::newRow("off hides the list whatever the channel") << "00 00 00 00 00 0F 02 00" << true << -1 << -1;
    QTest::newRow("off with a short reply") << "00 00 00 00 00 0F" << true << -1 << -1;
    QTest::newRow("no option for channel code 1") << "00 00 00 00 00 03 01" << false << 3 << -1;
    QTest::newRow("no channel code") << "00 00 00 00 00 03" << false << 3 << -1;
}

void QueriesTest::recordingRateAndChannels() {
    QFETCH(QString, reply);
    QFETCH(bool, off);
    QFETCH(int, rateIndex);
    QFETCH(int, channel);
    Rig rig;
    rig.wakeUps("");
    rig.port.onCommand("B00").reply(reply.toStdString() + "\r");
    rig.model.recordingOff = !off;
    rig.model.lumatrixRateIndex = 5;
    rig.model.recChannel = 0;

    QCOMPARE(config::getRecording(rig.model, rig.link), QueryResult::Answered);

    QCOMPARE(rig.port.written(), wake + "B00\r");
    QCOMPARE(rig.model.recordingOff, off);
    QCOMPARE(rig.model.lumatrixRateIndex, rateIndex);
    QCOMPARE(rig.model.recChannel, channel);
    QCOMPARE(rig.model.recRateCode, reply.mid(16, 1));
    QCOMPARE(rig.model.recChannelCode, reply.mid(19, 1));
    QCOMPARE(rig.ui.calls, (std::vector<std::string>{"lockPanels", "unlockPanels"}));
}

void QueriesTest::recordingReplyThatCannotBeShownChangesNothing_data() {
    QTest::addColumn<QString>("reply");
    QTest::newRow("time-out") << "";
    QTest::newRow("16 characters") << "00 00 00 00 00 0";
    QTest::newRow("rate code E") << "00 00 00 00 00 0E 02\r";
    QTest::newRow("rate code not hex") << "00 00 00 00 00 0? 02\r";
    QTest::newRow("lower-case rate code") << "00 00 00 00 00 0c 02\r";
}

void QueriesTest::recordingReplyThatCannotBeShownChangesNothing() {
    QFETCH(QString, reply);
    Rig rig;
    rig.wakeUps("");
    if (!reply.isEmpty())
        rig.port.onCommand("B00").reply(reply.toStdString());
    rig.model.lumatrixRateIndex = 5;
    rig.model.recChannel = 2;
    rig.model.recRateCode = "5";
    rig.model.recChannelCode = "2";

    QCOMPARE(config::getRecording(rig.model, rig.link), QueryResult::NoAnswer);

    QVERIFY(!rig.model.recordingOff);
    QCOMPARE(rig.model.lumatrixRateIndex, 5);
    QCOMPARE(rig.model.recChannel, 2);
    QCOMPARE(rig.model.recRateCode, QString("5"));
    QCOMPARE(rig.model.recChannelCode, QString("2"));
    QVERIFY(rig.ui.messages.empty());
    QVERIFY(!rig.ui.panelsLocked);
}

void QueriesTest::recordingWithoutWakeUp() {
    Rig rig;
    rig.port.on(wake).repeat();
    rig.model.lumatrixRateIndex = 5;

    QCOMPARE(config::getRecording(rig.model, rig.link), QueryResult::NotConnected);

    QCOMPARE(rig.port.written(), wake + "\r" + wake + "\r");
    QVERIFY(waitAfterWakeUp(rig, 2) > 0.2);
    QVERIFY(waitAfterWakeUp(rig, 2) < 0.21);
    QCOMPARE(rig.ui.calls,
             (std::vector<std::string>{"lockPanels", "closeProgress 0",
                                       "message Connection error: Lumatrix not connected!", "unlockPanels"}));
    QCOMPARE(rig.model.lumatrixRateIndex, 5);
}

void QueriesTest::converterType() {
    {
        Rig rig;
        rig.wakeUps("");
        rig.port.onCommand("B02").reply("00 00 03 00\r");
        QCOMPARE(config::queryConverterType(rig.model, rig.link), QueryResult::Answered);
        QCOMPARE(rig.port.written(), wake + "B02\r");
        QCOMPARE(rig.model.fixedRangeCode, QString("3"));
    }
    {
        Rig rig; // a reply too short for position 8
        rig.wakeUps("");
        rig.port.onCommand("B02").reply("00 00\r");
        rig.model.fixedRangeCode = "0";
        QCOMPARE(config::queryConverterType(rig.model, rig.link), QueryResult::NoAnswer);
        QVERIFY(rig.model.fixedRangeCode.isEmpty());
    }
    {
        Rig rig; // no instrument: the code stays empty, so nothing may be set
        rig.port.on(wake).repeat();
        rig.model.fixedRangeCode = "0";
        QCOMPARE(config::queryConverterType(rig.model, rig.link), QueryResult::NotConnected);
        QVERIFY(rig.model.fixedRangeCode.isEmpty());
        QCOMPARE(rig.ui.messages.size(), std::size_t(1));
    }
}

void QueriesTest::recordingScales() {
    Rig rig;
    rig.wakeUps("");
    rig.port.onCommand("B10").reply("00 01 0F 0F 05 07 00 00 02 05 01 07 FF\r");

    QCOMPARE(config::queryRecordingScales(rig.model, rig.link), QueryResult::Answered);

    QCOMPARE(rig.port.written(), wake + "B10\r");
    QCOMPARE(rig.model.channelRange[0], QString("02"));
    QCOMPARE(rig.model.channelGain[0], QString("05"));
    QCOMPARE(rig.model.channelRange[1], QString("01"));
    QCOMPARE(rig.model.channelGain[1], QString("07"));
    // The presets in the same reply are not this query's business.
    QVERIFY(!rig.model.preset(1).range);

    Rig cut;
    cut.wakeUps("");
    cut.port.onCommand("B10").reply("00 01 0F 0F 05 07 00 00 02 0\r");
    QCOMPARE(config::queryRecordingScales(cut.model, cut.link), QueryResult::NoAnswer);
    QCOMPARE(cut.model.channelRange[0], QString("02"));
    QCOMPARE(cut.model.channelGain[0], QString("0"));
    QVERIFY(cut.model.channelGain[1].isEmpty());
}

void QueriesTest::flowRateNextBlockAndTotalisers() {
    Rig rig(InstrumentKind::Quorvane);
    rig.wakeUps("");
    rig.port.onCommand("I").reply("D\r");
    rig.port.onCommand("B00").reply("00 00 00 01 2C 00\r");
    rig.port.onCommand("B30").reply("00 00 00 00 2B 00 30 39 2D 01 E2 40\r");
    rig.model.rateIndex = 2;

    config::getRate(rig.model, rig.link);

    QCOMPARE(rig.port.written(), wake + "I\r" + wake + "B00\r" + wake + "B30\r");
    QCOMPARE(rig.port.openCount(), 3);
    QVERIFY(!rig.port.isOpen());
    QCOMPARE(rig.model.rateIndex, 13);
    QCOMPARE(rig.model.nextBlock, 300);
    QCOMPARE(rig.model.nextBlockText, QString("0300"));
    QCOMPARE(rig.model.totalizer[0], QString("012345"));
    QCOMPARE(rig.model.totalizer[1], QString("123456"));
    QCOMPARE(rig.ui.calls, (std::vector<std::string>{
                               "lockPanels", "showProgress 1 Downloading...", "setProgressRange 1 0 9",
                               "setProgressValue 1 1", "setProgressValue 1 2", "setProgressValue 1 4",
                               "setProgressValue 1 5", "setProgressValue 1 6", "setProgressValue 1 7",
                               "unlockPanels", "closeProgress 1"}));
}

void QueriesTest::flowRateIndexes_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<int>("index");
    QTest::newRow("first") << "0" << 0;
    QTest::newRow("9") << "9" << 9;
    QTest::newRow("A") << "A" << 10;
    QTest::newRow("last") << "D" << 13;
    QTest::newRow("lower case") << "c" << 12;
    QTest::newRow("E is past the list") << "E" << -1;
    QTest::newRow("not a hex digit") << "G" << -1;
    QTest::newRow("empty reply") << "" << 0;
}

void QueriesTest::flowRateIndexes() {
    QFETCH(QString, reply);
    QFETCH(int, index);
    Rig rig(InstrumentKind::Quorvane);
    rig.wakeUps("");
    rig.port.onCommand("I").reply(reply.toStdString() + "\r");

    config::getRate(rig.model, rig.link);

    QCOMPARE(rig.model.rateIndex, index);
}

void QueriesTest::flowInstrumentAbsent() {
    Rig rig(InstrumentKind::Quorvane);
    rig.port.on(wake).repeat();
    rig.model.nextBlockText = "0042";
    rig.model.nextBlock = 42;
    rig.model.totalizer = {"000001", "000002"};

    config::getRate(rig.model, rig.link);

    // One wake-up byte per query, no command, no lone CR.
    QCOMPARE(rig.port.written(), wake + wake + wake);
    QCOMPARE(rig.ui.messages.size(), std::size_t(3));
    for (const auto& box : rig.ui.messages) {
        QCOMPARE(box.text, std::string("Quorvane not connected!"));
        QCOMPARE(box.title, std::string("Connection error"));
    }
    QCOMPARE(rig.model.rateIndex, 0);
    QVERIFY(rig.model.nextBlockText.isEmpty());
    QCOMPARE(rig.model.nextBlock, 42);
    QCOMPARE(rig.model.totalizer[0], QString("000000"));
    QCOMPARE(rig.model.totalizer[1], QString("000000"));
    QCOMPARE(rig.ui.calls.back(), std::string("closeProgress 1"));
    QVERIFY(!rig.ui.panelsLocked);
    QVERIFY(!rig.port.isOpen());
}

void QueriesTest::flowCutReplies() {
    Rig rig(InstrumentKind::Quorvane);
    rig.wakeUps("");
    rig.port.onCommand("I").reply("1"); // no line end: 2 s after the character
    rig.port.onCommand("B00").reply("00 00 00 01\r");
    rig.port.onCommand("B30").reply("00 00 00 00 2B 00 30\r");

    config::getRate(rig.model, rig.link);

    QCOMPARE(rig.port.written(), wake + "I\r" + wake + "B00\r" + wake + "B30\r");
    QCOMPARE(rig.model.rateIndex, 1);
    // What is there is read as the low digits: "01" and nothing give 1, "00", "30" and nothing 48.
    QCOMPARE(rig.model.nextBlock, 1);
    QCOMPARE(rig.model.nextBlockText, QString("0001"));
    QCOMPARE(rig.model.totalizer[0], QString("000048"));
    QCOMPARE(rig.model.totalizer[1], QString("000000"));
    QVERIFY(rig.ui.messages.empty());
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
    QCOMPARE(rig.ui.calls, (std::vector<std::string>{"lockPanels", "unlockPanels"}));
}

QTEST_GUILESS_MAIN(QueriesTest)
#include "queries_test.moc"
