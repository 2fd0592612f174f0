// Reading the read-out unit's scale table and presets, and the single scale read of the
// download, byte for byte against a scripted instrument in virtual time.

#include "Rig.h"
#include "config/ReadOperations.h"

#include <QTest>

using config::ReadResult;
using config::Scale;
using configtest::dumpReply;
using configtest::Rig;
using configtest::slotBytes;
using configtest::wake;
using Event = testsupport::FakePort::Event;

namespace {

std::string slotCommand(int range, int gain) {
    return "C00" + enc::scaleSlotAddressText(range, gain);
}

std::string labelOf(int range, int gain) {
    return "R" + std::to_string(range) + "G" + std::to_string(gain);
}

// Every readable slot holds a different scale, so a row shows which slot it came from.
std::vector<std::uint8_t> slotContent(int range, int gain) {
    return slotBytes(static_cast<std::uint8_t>((range + gain) % 6), '-',
                     static_cast<std::uint16_t>(range * 1000 + gain), '+',
                     static_cast<std::uint16_t>(range * 100 + gain * 10), labelOf(range, gain),
                     "u" + std::to_string(range) + std::to_string(gain));
}

// Presets: P1 = (1, 8), P2 = (6, 3), P3 with no range and gain 4, P4 with range 3 and no gain.
const std::string presetReply = "00 07 05 02 0F 03 02 0F 01 02 03 04\r";

void scriptTable(Rig& rig, int lastRange = 6, int lastGain = 8) {
    for (int range = 1; range <= lastRange; ++range) {
        for (int gain = 2; gain <= (range == lastRange ? lastGain : 8); ++gain)
            rig.port.onCommand(slotCommand(range, gain)).reply(dumpReply(slotContent(range, gain)), 0.01);
    }
}

// The bytes of the slot reads from (1, 2) up to and including (lastRange, lastGain).
std::string tableBytes(int lastRange, int lastGain) {
    std::string bytes;
    for (int range = 1; range <= lastRange; ++range) {
        for (int gain = 2; gain <= (range == lastRange ? lastGain : 8); ++gain)
            bytes += wake + slotCommand(range, gain) + "\r";
    }
    return bytes;
}

const Scale marker{"9", "+99999", "+99999", "XXXX", "YYYY"};

} // namespace

class ReadLumatrixTest : public QObject {
    Q_OBJECT

private slots:
    void fullReadFillsEveryRowAndThePresets();
    void progressWindowShowsRangeAndGain();
    void gridTabFollowsTheRangeBeingRead();
    void missedWakeUpsInTwoSlotsEndTheReadWithOneMessage();
    void declineReadsNothingButSetsConfigRead();
    void rowOneIsTheFactoryScaleWhateverTheSlotHolds();
    void replyTimeOutStopsSilentlyKeepingRows();
    void presetWakeUpHasALimit();
    void presetReplyWithoutLineEndLeavesPresets();
    void shortAndGarbledSlotRepliesDecodeToEmptyFields();
    void portThatWillNotOpen();
    void scaleDecimalsReadsOneSlot();
    void scaleDecimalsFailures();
};

void ReadLumatrixTest::fullReadFillsEveryRowAndThePresets() {
    Rig rig;
    rig.wakeUps("");
    scriptTable(rig);
    rig.port.onCommand("B10").reply(presetReply);
    rig.ui.answers = {devlink::Answer::Yes};
    const double start = rig.clock.time();

    QCOMPARE(config::readConfiguration(rig.model, rig.link), ReadResult::Completed);

    QCOMPARE(rig.port.written(), tableBytes(6, 8) + wake + "B10\r");
    QCOMPARE(rig.port.openCount(), 2); // the table on one open port, the presets on a fresh one
    QVERIFY(!rig.port.isOpen());
    // 42 pauses of one to two seconds each.
    QVERIFY(rig.clock.time() - start > 42.0);
    QVERIFY(rig.clock.time() - start < 90.0);

    QCOMPARE(rig.model.scale(1, 2), (Scale{"3", "-01.002", "+00.120", "R1G2", "u12 "}));
    QCOMPARE(rig.model.scale(6, 8), (Scale{"2", "-060.08", "+006.80", "R6G8", "u68 "}));
    QCOMPARE(rig.model.scale(3, 3), (Scale{"0", "-03003", "+00330", "R3G3", "u33 "}));
    QCOMPARE(rig.model.scale(4, 2), (Scale{"0", "-04002", "+00420", "R4G2", "u42 "}));
    for (int range = 1; range <= 6; ++range) {
        QCOMPARE(rig.model.scale(range, 1), config::factoryScale(range));
        for (int gain = 2; gain <= 8; ++gain)
            QCOMPARE(rig.model.scale(range, gain).label.toStdString(), labelOf(range, gain));
    }

    QCOMPARE(rig.model.preset(1), (config::Preset{1, 8}));
    QCOMPARE(rig.model.preset(2), (config::Preset{6, 3}));
    QCOMPARE(rig.model.preset(3), (config::Preset{std::nullopt, 4}));
    QCOMPARE(rig.model.preset(4), (config::Preset{3, std::nullopt}));
    QVERIFY(!rig.model.preset(3).assigned());

    QVERIFY(rig.model.configRead);
    QVERIFY(rig.ui.messages.size() == 1); // the question only
    QCOMPARE(rig.ui.calls.back(), std::string("unlockPanels"));
    QVERIFY(!rig.ui.panelsLocked);
}

void ReadLumatrixTest::progressWindowShowsRangeAndGain() {
    Rig rig;
    rig.wakeUps("");
    scriptTable(rig);
    rig.port.onCommand("B10").reply(presetReply);
    rig.ui.answers = {devlink::Answer::Yes};

    config::readConfiguration(rig.model, rig.link);

    const auto& question = rig.ui.messages.front();
    QCOMPARE(question.text,
             std::string("This action could take a few minutes.\r\n        Would you like to continue?"));
    QCOMPARE(question.title, std::string("Getting Device Configuration"));
    QCOMPARE(question.buttons, devlink::Buttons::YesNo);

    const std::vector<std::string> opening(rig.ui.calls.begin(), rig.ui.calls.begin() + 9);
    QCOMPARE(opening, (std::vector<std::string>{
                          "message Getting Device Configuration: " + question.text,
                          "lockPanels",
                          "setProgressRange 0 0 8",
                          "showProgress 0 Getting Scale 1...",
                          "setProgressLabel 0 Receiving Gain 1",
                          "setProgressValue 0 1",
                          "setProgressLabel 0 Receiving Gain 2",
                          "setProgressValue 0 2",
                          "setProgressLabel 0 Receiving Gain 3",
                      }));
    for (int range = 1; range <= 6; ++range)
        QVERIFY(rig.called("showProgress 0 Getting Scale " + std::to_string(range) + "..."));
    QCOMPARE(rig.count("setProgressLabel 0 Receiving Gain 8"), 6);
    const std::vector<std::string> closing(rig.ui.calls.end() - 2, rig.ui.calls.end());
    QCOMPARE(closing, (std::vector<std::string>{"closeProgress 0", "unlockPanels"}));
}

void ReadLumatrixTest::gridTabFollowsTheRangeBeingRead() {
    Rig rig;
    rig.wakeUps("");
    scriptTable(rig);
    rig.port.onCommand("B10").reply(presetReply);
    rig.ui.answers = {devlink::Answer::Yes};
    std::vector<int> shown;
    bool previousRangeComplete = true;
    bool thisRangeUntouched = true;

    config::readConfiguration(rig.model, rig.link, [&](int range) {
        shown.push_back(range);
        if (range > 1)
            previousRangeComplete &=
                rig.model.scale(range - 1, 8).label.toStdString() == labelOf(range - 1, 8);
        thisRangeUntouched &= rig.model.scale(range, 2).label.isEmpty();
    });

    QCOMPARE(shown, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    QVERIFY(previousRangeComplete);
    QVERIFY(thisRangeUntouched);
}

void ReadLumatrixTest::missedWakeUpsInTwoSlotsEndTheReadWithOneMessage() {
    Rig rig;
    // Slot (1, 2): first byte missed, second answered; slots up to (6, 7) answered at once;
    // slot (6, 8): missed, and the one spare byte is used up.
    rig.wakeUps("ny" + std::string(40, 'y') + "n");
    scriptTable(rig);
    rig.port.onCommand("B10").reply(presetReply);
    rig.ui.answers = {devlink::Answer::Yes};
    rig.model.scale(6, 8) = marker;

    QCOMPARE(config::readConfiguration(rig.model, rig.link), ReadResult::NotConnected);

    const std::string table = tableBytes(6, 7);
    QCOMPARE(rig.port.written(), wake + "\r" + table + wake + "\r");
    QCOMPARE(rig.ui.messages.size(), std::size_t(2));
    const auto& box = rig.ui.messages.back();
    QCOMPARE(box.text, std::string("Lumatrix not connected!"));
    QCOMPARE(box.title, std::string("Connection error"));
    QCOMPARE(box.icon, devlink::Icon::Exclamation);
    QCOMPARE(box.buttons, devlink::Buttons::Ok);
    // The progress window goes before the box; the panels come back after it.
    const std::vector<std::string> closing(rig.ui.calls.end() - 3, rig.ui.calls.end());
    QCOMPARE(closing,
             (std::vector<std::string>{"closeProgress 0", "message Connection error: Lumatrix not connected!",
                                       "unlockPanels"}));
    // Rows read so far stay; the slot that failed keeps what it held.
    QCOMPARE(rig.model.scale(1, 2).label, QString("R1G2"));
    QCOMPARE(rig.model.scale(6, 7).label, QString("R6G7"));
    QCOMPARE(rig.model.scale(6, 8), marker);
    QVERIFY(rig.model.configRead);
    QVERIFY(!rig.port.isOpen());
    // Each unanswered byte waited more than the 1 s limit before its lone CR.
    const auto writes = rig.port.writes();
    QVERIFY(writes[1].time - writes[0].time > 1.0);
    QVERIFY(writes[1].time - writes[0].time < 1.01);
}

void ReadLumatrixTest::declineReadsNothingButSetsConfigRead() {
    Rig rig;
    rig.wakeUps("");
    scriptTable(rig);
    rig.ui.answers = {devlink::Answer::No};
    rig.model.scale(2, 3) = marker;
    rig.model.scale(2, 1) = marker;

    QCOMPARE(config::readConfiguration(rig.model, rig.link), ReadResult::Declined);

    QVERIFY(rig.port.events().empty());
    QCOMPARE(rig.ui.calls.size(), std::size_t(1));
    QCOMPARE(rig.model.scale(2, 3), marker);
    QCOMPARE(rig.model.scale(2, 1), marker);
    QVERIFY(rig.model.configRead);
}

void ReadLumatrixTest::rowOneIsTheFactoryScaleWhateverTheSlotHolds() {
    Rig rig;
    rig.wakeUps("");
    scriptTable(rig);
    for (int range = 1; range <= 6; ++range)
        rig.port.onCommand(slotCommand(range, 1)).reply(dumpReply(slotContent(range, 1)));
    rig.port.onCommand("B10").reply(presetReply);
    rig.ui.answers = {devlink::Answer::Yes};
    for (int range = 1; range <= 6; ++range)
        rig.model.scale(range, 1) = marker;

    config::readConfiguration(rig.model, rig.link);

    for (int range = 1; range <= 6; ++range) {
        QCOMPARE(rig.model.scale(range, 1), config::factoryScale(range));
        QVERIFY(rig.port.written().find(slotCommand(range, 1)) == std::string::npos);
    }
    QCOMPARE(rig.model.scale(6, 1), (Scale{"3", "+00.000", "+20.000", "", "mA"}));
}

void ReadLumatrixTest::replyTimeOutStopsSilentlyKeepingRows() {
    Rig rig;
    rig.wakeUps("");
    scriptTable(rig, 2, 2); // slot (2, 3) never answers
    rig.port.onCommand("B10").reply(presetReply);
    rig.ui.answers = {devlink::Answer::Yes};
    rig.model.scale(2, 3) = marker;
    rig.model.preset(1) = {2, 2};

    QCOMPARE(config::readConfiguration(rig.model, rig.link), ReadResult::Stopped);

    QCOMPARE(rig.port.written(), tableBytes(2, 3));
    QCOMPARE(rig.ui.messages.size(), std::size_t(1)); // the question only
    const std::vector<std::string> closing(rig.ui.calls.end() - 2, rig.ui.calls.end());
    QCOMPARE(closing, (std::vector<std::string>{"closeProgress 0", "unlockPanels"}));
    QCOMPARE(rig.model.scale(2, 2).label, QString("R2G2"));
    QCOMPARE(rig.model.scale(2, 3), marker);
    QCOMPARE(rig.model.preset(1), (config::Preset{2, 2}));
    QVERIFY(rig.model.configRead);
    QVERIFY(!rig.port.isOpen());
    // The pause (one to two seconds) and then 2 s for the first character.
    const auto& events = rig.port.events();
    const double waited = events.back().time - rig.port.writes().back().time;
    QCOMPARE(events.back().kind, Event::Close);
    QVERIFY(waited > 3.0);
    QVERIFY(waited < 4.1);
}

void ReadLumatrixTest::presetWakeUpHasALimit() {
    Rig rig;
    rig.wakeUps(std::string(42, 'y') + "n");
    scriptTable(rig);
    rig.port.onCommand("B10").reply(presetReply);
    rig.ui.answers = {devlink::Answer::Yes};
    rig.model.preset(2) = {4, 4};

    QCOMPARE(config::readConfiguration(rig.model, rig.link), ReadResult::NotConnected);

    // One wake-up byte, no lone CR, no command.
    QCOMPARE(rig.port.written(), tableBytes(6, 8) + wake);
    const double waited = rig.port.events().back().time - rig.port.writes().back().time;
    QVERIFY(waited > 1.0);
    QVERIFY(waited < 1.01);
    QCOMPARE(rig.ui.messages.back().text, std::string("Lumatrix not connected!"));
    QCOMPARE(rig.count("closeProgress 0"), 1);
    QCOMPARE(rig.model.preset(2), (config::Preset{4, 4}));
    QCOMPARE(rig.model.scale(6, 8).label, QString("R6G8"));
    QVERIFY(!rig.port.isOpen());
    QVERIFY(!rig.ui.panelsLocked);
}

void ReadLumatrixTest::presetReplyWithoutLineEndLeavesPresets() {
    Rig rig;
    rig.wakeUps("");
    scriptTable(rig);
    rig.port.onCommand("B10").reply("00 07 05");
    rig.ui.answers = {devlink::Answer::Yes};
    rig.model.preset(1) = {2, 2};

    QCOMPARE(config::readConfiguration(rig.model, rig.link), ReadResult::Stopped);

    QCOMPARE(rig.model.preset(1), (config::Preset{2, 2}));
    QCOMPARE(rig.ui.messages.size(), std::size_t(1));
    QCOMPARE(rig.count("closeProgress 0"), 1);
    QVERIFY(!rig.port.isOpen());
}

void ReadLumatrixTest::shortAndGarbledSlotRepliesDecodeToEmptyFields() {
    // Cut replies take the place of three slots (rules are tried in order, so these go first).
    Rig garbled;
    garbled.wakeUps("");
    garbled.port.onCommand(slotCommand(1, 2)).reply("0");
    garbled.port.onCommand(slotCommand(1, 3)).reply("03 2D");
    garbled.port.onCommand(slotCommand(1, 4)).reply("0Z 2D 01 F4 2B 03 E8 4C");
    // A reply with something in front of the dump: only its last 50 characters count.
    garbled.port.onCommand(slotCommand(1, 5)).reply("C002040\r\n" + dumpReply(slotContent(1, 5)));
    scriptTable(garbled);
    garbled.port.onCommand("B10").reply("\r");
    garbled.ui.answers = {devlink::Answer::Yes};
    garbled.model.preset(1) = {2, 2};

    QCOMPARE(config::readConfiguration(garbled.model, garbled.link), ReadResult::Completed);

    QCOMPARE(garbled.model.scale(1, 2), (Scale{"", "+00000", "+00000", "", ""}));
    QCOMPARE(garbled.model.scale(1, 3), (Scale{"3", "-00.000", "+00.000", "", ""}));
    // A decimal point that is not a digit leaves the values unformatted.
    QCOMPARE(garbled.model.scale(1, 4), (Scale{"Z", "-500", "+1000", "L", ""}));
    QCOMPARE(garbled.model.scale(1, 5).label, QString("R1G5"));
    QCOMPARE(garbled.model.scale(1, 6).label, QString("R1G6"));
    // An empty preset reply leaves every preset unassigned.
    QVERIFY(!garbled.model.preset(1).range && !garbled.model.preset(1).gain);
    QVERIFY(!garbled.ui.panelsLocked);
}

void ReadLumatrixTest::portThatWillNotOpen() {
    Rig rig;
    rig.port.openResult = devlink::OpenStatus::Failed;
    rig.ui.answers = {devlink::Answer::Yes};

    QCOMPARE(config::readConfiguration(rig.model, rig.link), ReadResult::NotConnected);

    QVERIFY(rig.port.written().empty());
    QCOMPARE(rig.ui.messages.back().text, std::string("Lumatrix not connected!"));
    QVERIFY(rig.model.configRead);
    QVERIFY(!rig.ui.panelsLocked);
}

void ReadLumatrixTest::scaleDecimalsReadsOneSlot() {
    Rig rig;
    rig.wakeUps("ny");
    rig.port.onCommand("C002140").reply(dumpReply(slotContent(3, 5)));

    QCOMPARE(config::readScaleDecimals(rig.model, rig.link, 3, 5, 2), ReadResult::Completed);

    QCOMPARE(rig.port.written(), wake + "\r" + wake + "C002140\r");
    QCOMPARE(rig.model.channelDP[1], QString("2"));
    QVERIFY(rig.model.channelDP[0].isEmpty());
    QVERIFY(rig.ui.messages.empty());
    QVERIFY(!rig.port.isOpen());
}

void ReadLumatrixTest::scaleDecimalsFailures() {
    {
        Rig rig; // the instrument never answers the wake-up
        rig.port.on(wake).repeat();
        rig.model.channelDP[0] = "4";
        QCOMPARE(config::readScaleDecimals(rig.model, rig.link, 1, 2, 1), ReadResult::NotConnected);
        QCOMPARE(rig.port.written(), wake + "\r" + wake + "\r");
        QCOMPARE(rig.ui.calls, (std::vector<std::string>{
                                   "closeProgress 0", "message Connection error: Lumatrix not connected!"}));
        QCOMPARE(rig.model.channelDP[0], QString("4"));
    }
    {
        Rig rig; // awake, but no reply
        rig.wakeUps("");
        rig.model.channelDP[0] = "4";
        QCOMPARE(config::readScaleDecimals(rig.model, rig.link, 1, 2, 1), ReadResult::Stopped);
        QVERIFY(rig.model.channelDP[0].isEmpty());
        QVERIFY(rig.ui.messages.empty());
        QVERIFY(!rig.port.isOpen());
    }
}

QTEST_GUILESS_MAIN(ReadLumatrixTest)
#include "read_lumatrix_test.moc"
