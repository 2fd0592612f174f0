// Reading the read-out unit's scale table and presets, and the single scale read of the
// download, byte for byte against a scripted instrument in virtual time.

#include "Rig.h"
#include "config/ReadOperations.h"
#include "config/ReplyFields.h"

#include <QTest>

using config::ReadResult;
using config::Scale;
using configtest::dumpReply;
using configtest::Rig;
using configtest::wake;
using devlink::OpenStatus;

namespace {

std::string slotCommand(int range, int gain) {
    return "C00" + enc::scaleSlotAddressText(range, gain);
}

QString labelOf(int range, int gain) {
    return QString("R%1G%2").arg(range).arg(gain);
}

// Every slot holds a different scale, so a row shows which slot it came from.
std::vector<std::uint8_t> slotContent(int range, int gain) {
    return configtest::slotBytes(
        static_cast<std::uint8_t>((range + gain) % 6), '-', static_cast<std::uint16_t>(range * 1000 + gain),
        '+', static_cast<std::uint16_t>(range * 100 + gain * 10), labelOf(range, gain).toStdString(),
        "u" + std::to_string(range) + std::to_string(gain));
}

// Presets: P1 = (1, 8), P2 = (6, 3), P3 with no range and gain 4, P4 with range 3 and no gain.
const std::string presetReply = "00 07 05 02 0F 03 02 0F 01 02 03 04\r";

// Calls `f(range, gain)` for the slots from (1, 2) up to and including (lastRange, lastGain).
template <typename F> void forSlots(int lastRange, int lastGain, F f) {
    for (int range = 1; range <= lastRange; ++range) {
        for (int gain = 2; gain <= (range == lastRange ? lastGain : 8); ++gain)
            f(range, gain);
    }
}

// The bytes of the slot reads from (1, 2) up to and including (lastRange, lastGain).
std::string tableBytes(int lastRange, int lastGain) {
    std::string bytes;
    forSlots(lastRange, lastGain, [&](int r, int g) { bytes += wake + slotCommand(r, g) + "\r"; });
    return bytes;
}

// A read the user agreed to, against an instrument holding slots up to (lastRange, lastGain).
void script(Rig& rig, const std::string& wakeUps = "", int lastRange = 6, int lastGain = 8,
            const std::string& presets = presetReply) {
    rig.wakeUps(wakeUps);
    forSlots(lastRange, lastGain, [&](int r, int g) {
        rig.port.onCommand(slotCommand(r, g)).reply(dumpReply(slotContent(r, g)), 0.01);
    });
    rig.port.onCommand("B10").reply(presets);
    rig.ui.answers = {devlink::Answer::Yes};
}

const Scale marker{"9", "+99999", "+99999", "XXXX", "YYYY"};

} // namespace

class ReadLumatrixTest : public QObject {
    Q_OBJECT

private slots:
    void fullReadFillsEveryRowAndThePresets();
    void missedWakeUpsInTwoSlotsEndTheReadWithOneMessage();
    void readsEndingEarlyKeepWhatWasNotRead();
    void scaleDecimalsReadsOneSlot();
    void presetDigits_data();
    void presetDigits();
};

void ReadLumatrixTest::fullReadFillsEveryRowAndThePresets() {
    Rig rig;
    // Row 1 is the factory scale whatever its slot holds; the slot is never read.
    for (int range = 1; range <= 6; ++range) {
        rig.port.onCommand(slotCommand(range, 1)).reply(dumpReply(slotContent(range, 1)));
        rig.model.scale(range, 1) = marker;
    }
    // Something in front of a dump (an echo, a line end): only its last 50 characters count.
    rig.port.onCommand(slotCommand(1, 5)).reply("C002040\r\n" + dumpReply(slotContent(1, 5)));
    script(rig);
    const double start = rig.clock.time();
    std::vector<int> shown; // the grid tab follows the range being read

    QCOMPARE(config::readConfiguration(rig.model, rig.link, [&](int range) { shown.push_back(range); }),
             ReadResult::Completed);

    QCOMPARE(rig.port.written(), tableBytes(6, 8) + wake + "B10\r");
    QCOMPARE(rig.port.openCount(), 2); // the table on one open port, the presets on a fresh one
    QVERIFY(!rig.port.isOpen());
    // 42 pauses of one to two seconds each.
    QVERIFY(rig.clock.time() - start > 42.0);
    QVERIFY(rig.clock.time() - start < 90.0);
    QCOMPARE(shown, (std::vector<int>{1, 2, 3, 4, 5, 6}));

    // The grid's own pattern for each slot's decimal point; the factory rows whatever the slots hold.
    QCOMPARE(rig.model.scale(1, 2), (Scale{"3", "-01.002", "+00.120", "R1G2", "u12 "}));
    QCOMPARE(rig.model.scale(3, 3), (Scale{"0", "-03003", "+00330", "R3G3", "u33 "}));
    forSlots(6, 8, [&](int r, int g) { QCOMPARE(rig.model.scale(r, g).label, labelOf(r, g)); });
    for (int range = 1; range <= 6; ++range)
        QCOMPARE(rig.model.scale(range, 1), config::factoryScale(range));
    QCOMPARE(rig.model.preset(3), (config::Preset{std::nullopt, 4}));
    QVERIFY(rig.model.configRead);

    // The question only, then the progress window naming range and gain.
    QCOMPARE(rig.ui.messages.size(), std::size_t(1));
    const auto& question = rig.ui.messages.front();
    QCOMPARE(question.text,
             std::string("This action could take a few minutes.\r\n        Would you like to continue?"));
    QCOMPARE(question.buttons, devlink::Buttons::YesNo);
    QVERIFY(rig.calls().starts_with(
        "message Getting Device Configuration: " + question.text +
        " | lockPanels | setProgressRange 0 0 8 | showProgress 0 Getting Scale 1... | "
        "setProgressLabel 0 Receiving Gain 1 | setProgressValue 0 1 | "
        "setProgressLabel 0 Receiving Gain 2 | "));
    QVERIFY(rig.calls().ends_with("closeProgress 0 | unlockPanels"));
}

void ReadLumatrixTest::missedWakeUpsInTwoSlotsEndTheReadWithOneMessage() {
    Rig rig;
    // Slot (1, 2): first byte missed, second answered; slots up to (6, 7) answered at once;
    // slot (6, 8): missed, and the one spare byte is used up.
    script(rig, "ny" + std::string(40, 'y') + "n");
    rig.model.scale(6, 8) = marker;

    QCOMPARE(config::readConfiguration(rig.model, rig.link), ReadResult::NotConnected);

    QCOMPARE(rig.port.written(), wake + "\r" + tableBytes(6, 7) + wake + "\r");
    QCOMPARE(rig.ui.messages.size(), std::size_t(2));
    QCOMPARE(rig.ui.messages.back().icon, devlink::Icon::Exclamation);
    // The progress window goes before the box; the panels come back after it.
    QVERIFY(rig.calls().ends_with(
        "closeProgress 0 | message Connection error: Lumatrix not connected! | unlockPanels"));
    // Rows read so far stay; the slot that failed keeps what it held.
    QCOMPARE(rig.model.scale(6, 7).label, QString("R6G7"));
    QCOMPARE(rig.model.scale(6, 8), marker);
    QVERIFY(rig.model.configRead);
    QVERIFY(!rig.port.isOpen());
    // Each unanswered byte waited more than the 1 s limit before its lone CR.
    const auto writes = rig.port.writes();
    QVERIFY(writes[1].time - writes[0].time > 1.0);
    QVERIFY(writes[1].time - writes[0].time < 1.01);
}

void ReadLumatrixTest::readsEndingEarlyKeepWhatWasNotRead() {
    struct Case {
        const char* what;
        std::string wakeUps;
        int lastRange, lastGain; // the last slot the instrument answers
        std::string presets;
        OpenStatus open;
        ReadResult result;
        std::string written;
        double waitedFrom, waitedTo; // from the last write to the close
        bool declined = false;       // No to the question
    };
    const Case cases[] = {
        // The pause (one to two seconds) and then 2 s for the first character; no message.
        {"slot reply time-out", "", 2, 2, presetReply, OpenStatus::Opened, ReadResult::Stopped,
         tableBytes(2, 3), 3.0, 4.1},
        // One wake-up byte, no lone CR, no command.
        {"preset wake-up", std::string(42, 'y') + "n", 6, 8, presetReply, OpenStatus::Opened,
         ReadResult::NotConnected, tableBytes(6, 8) + wake, 1.0, 1.01},
        {"preset reply without line end", "", 6, 8, "00 07 05", OpenStatus::Opened, ReadResult::Stopped,
         tableBytes(6, 8) + wake + "B10\r", 0, 100},
        {"port will not open", "", 6, 8, presetReply, OpenStatus::Failed, ReadResult::NotConnected, "", 0, 0},
        // Nothing read, but the configuration counts as read.
        {"declined", "", 6, 8, presetReply, OpenStatus::Opened, ReadResult::Declined, "", 0, 0, true},
    };
    for (const Case& c : cases) {
        Rig rig;
        script(rig, c.wakeUps, c.lastRange, c.lastGain, c.presets);
        rig.port.openResult = c.open;
        if (c.declined)
            rig.ui.answers = {devlink::Answer::No};
        if (c.lastRange < 6)
            rig.model.scale(c.lastRange, c.lastGain + 1) = marker;
        rig.model.preset(1) = {2, 2};

        QCOMPARE(config::readConfiguration(rig.model, rig.link), c.result);

        QVERIFY2(rig.port.written() == c.written, c.what);
        const bool connected = c.result != ReadResult::NotConnected;
        QVERIFY2(rig.ui.messages.size() == (connected ? 1 : 2), c.what); // the question, and the box
        if (!connected)
            QCOMPARE(rig.ui.messages.back().text, std::string("Lumatrix not connected!"));
        if (!c.written.empty()) {
            const double waited = rig.port.events().back().time - rig.port.writes().back().time;
            QVERIFY2(waited > c.waitedFrom && waited < c.waitedTo, c.what);
            QVERIFY2(rig.count("closeProgress 0") == 1, c.what);
            QCOMPARE(rig.model.scale(c.lastRange, c.lastGain).label, labelOf(c.lastRange, c.lastGain));
        }
        if (c.lastRange < 6)
            QCOMPARE(rig.model.scale(c.lastRange, c.lastGain + 1), marker);
        QCOMPARE(rig.model.preset(1), (config::Preset{2, 2}));
        QVERIFY(rig.model.configRead);
        QVERIFY(!rig.port.isOpen());
        QVERIFY(!rig.ui.panelsLocked);
    }
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

    Rig asleep; // never answers the wake-up: the channel keeps its decimals
    asleep.port.on(wake).repeat();
    asleep.model.channelDP[0] = "4";
    QCOMPARE(config::readScaleDecimals(asleep.model, asleep.link, 1, 2, 1), ReadResult::NotConnected);
    QCOMPARE(asleep.port.written(), wake + "\r" + wake + "\r");
    QCOMPARE(asleep.calls(),
             std::string("closeProgress 0 | message Connection error: Lumatrix not connected!"));
    QCOMPARE(asleep.model.channelDP[0], QString("4"));

    Rig mute; // awake, but no reply: silently emptied
    mute.wakeUps("");
    mute.model.channelDP[0] = "4";
    QCOMPARE(config::readScaleDecimals(mute.model, mute.link, 1, 2, 1), ReadResult::Stopped);
    QVERIFY(mute.model.channelDP[0].isEmpty());
    QVERIFY(mute.ui.messages.empty());
    QVERIFY(!mute.port.isOpen());
}

void ReadLumatrixTest::presetDigits_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("presets"); // range/gain of P1..P4, "-" for unassigned
    QTest::newRow("F leaves a half unassigned") << "00 07 05 02 0F 03 02 0F\r"
                                                << "1/8 6/3 -/4 3/- ";
    // A digit past the six ranges or eight gain slots, or no digit at all, assigns nothing.
    QTest::newRow("beyond the table") << "06 08 05 07 0A 00 0: 0f\r"
                                      << "-/- 6/8 -/1 -/- ";
    QTest::newRow("cut short") << "00 01 0"
                               << "1/2 -/- -/- -/- ";
    QTest::newRow("empty") << ""
                           << "-/- -/- -/- -/- ";
}

// The one decoder of the preset reply, as both configuration reads use it.
void ReadLumatrixTest::presetDigits() {
    QFETCH(QString, reply);
    QFETCH(QString, presets);
    config::ConfigModel model(config::InstrumentKind::Lumatrix);
    for (int k = 1; k <= 4; ++k)
        model.preset(k) = {2, 2};
    config::decodePresetReply(model, reply.toStdString());
    QString shown;
    const auto half = [](std::optional<int> v) { return v ? QString::number(*v) : QString("-"); };
    for (int k = 1; k <= 4; ++k)
        shown += half(model.preset(k).range) + "/" + half(model.preset(k).gain) + " ";
    QCOMPARE(shown, presets);
}

QTEST_GUILESS_MAIN(ReadLumatrixTest)
#include "read_lumatrix_test.moc"
