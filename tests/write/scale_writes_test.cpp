// The scale write, the flow conversion block and constants, Set All / Set Single with the
// converter-type query, value checks before the first byte and the wake-up budget, in virtual time.

#include "../config/Rig.h"
#include "write/ConfigurationWrites.h"
#include "write/Defaults.h"
#include "write/FlowConversion.h"
#include "write/ScaleWrites.h"

#include <QTest>

#include <functional>

using config::ConfigModel;
using config::InstrumentKind;
using configtest::Rig;
using configtest::wake;
using writing::SetResult;

using ModelEdit = std::function<void(ConfigModel&)>;
Q_DECLARE_METATYPE(ModelEdit)
Q_DECLARE_METATYPE(config::Scale)

namespace {

// The commands on the line, in order: the bytes between wake-up bytes, lone CRs left out.
QStringList commandsOf(const std::string& written) {
    QStringList commands;
    for (const QString& piece : QString::fromLatin1(written).split(QChar(0x80))) {
        const QString command = piece.chopped(piece.endsWith('\r') ? 1 : 0);
        if (!command.isEmpty())
            commands << command;
    }
    return commands;
}

// A rig whose model holds the defaults and whose instrument answers every wake-up and, for the
// read-out unit, the converter-type query with `code` at position 8.
struct WriteRig : Rig {
    explicit WriteRig(InstrumentKind kind, const std::string& wakePattern = "", const std::string& code = "0")
        : Rig(kind) {
        writing::loadDefaults(model);
        wakeUps(wakePattern);
        if (!code.empty())
            port.onCommand("B02").reply("00 00 0" + code + " 00 00\r").repeat();
    }
    // Every operation ends with the progress window closed (if it opened), the port closed and
    // the panels unlocked.
    bool settled() const {
        std::size_t shown = 0, closed = 0;
        for (std::size_t i = 0; i < ui.calls.size(); ++i) {
            if (ui.calls[i].starts_with("showProgress 0"))
                shown = i + 1;
            if (ui.calls[i] == "closeProgress 0")
                closed = i + 1;
        }
        return !port.isOpen() && !ui.panelsLocked && ui.calls.back() == "unlockPanels" && closed >= shown;
    }
};

// Slot addresses worked out here, apart from the code under test.
QStringList rangeAddresses(int range, int firstGain = 2) {
    QStringList addresses;
    for (int gain = firstGain; gain <= 8; ++gain)
        addresses << "e" + QString::number(0x2000 + (range - 1) * 0x80 + (gain - 1) * 0x10, 16).toUpper();
    return addresses;
}

QStringList addressesOf(const QStringList& commands) {
    QStringList addresses;
    for (const QString& c : commands)
        addresses << c.left(c.startsWith('e') ? 5 : 7);
    return addresses;
}

} // namespace

class ScaleWritesTest : public QObject {
    Q_OBJECT

private slots:
    void scaleCommand_data() {
        QTest::addColumn<int>("range");
        QTest::addColumn<int>("gain");
        QTest::addColumn<config::Scale>("scale");
        QTest::addColumn<QString>("command");
        using S = config::Scale;
        QTest::newRow("slot 1, even range")
            << 2 << 1 << S{"5", "+200.00", "0", "AB", ""} << "e2080052B4E202B00004142202020202020";
        QTest::newRow("comma removed, -0 positive")
            << 5 << 8 << S{"7", "1,5", "-0", "ABCDEF", "mV/V"} << "e2270002B000F2B0000414243446D562F56";
        QTest::newRow("16-bit limit, blanks")
            << 6 << 3 << S{"", "-65535", "65.535", "", " "} << "e22A0002DFFFF2BFFFF2020202020202020";
        QTest::newRow("beyond one byte is ?") << 3 << 4 << S{"0", "", "+1e3", "\u00e9\u20ac", "\U0001F600x"}
                                              << "e2130002B00002B03E8E93F20203F782020";
    }

    // Address per range and slot, DP codes, sign and magnitude, label and unit padding.
    void scaleCommand() {
        QFETCH(int, range);
        QFETCH(int, gain);
        QFETCH(config::Scale, scale);
        QFETCH(QString, command);
        ConfigModel model;
        model.serviceUnlocked = true;
        model.scale(range, gain) = scale;
        const writing::ScaleWrites writes = writing::rangeScaleWrites(model, range);
        QCOMPARE(writes.refusal, std::string());
        QCOMPARE(writes.gainSlots.size(), std::size_t(8));
        QCOMPARE(QString::fromStdString(writes.gainSlots[gain - 1].command), command);
    }

    void flowConversion_data() {
        QTest::addColumn<ModelEdit>("edit");
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("command");
        const auto a = [](ModelEdit e) { return e; };
        QTest::newRow("flow DP index 2")
            << a([](ConfigModel& m) { m.channel(1).dp = 2; }) << 1 << "c003FA402";
        QTest::newRow("factor 2.4") << a([](ConfigModel& m) { m.channel(1).factor = "2.4"; }) << 3
                                    << "c003FA902";
        QTest::newRow("offset 25") << a([](ConfigModel& m) { m.channel(1).offset = "25"; }) << 4
                                   << "k003FAA2D000019";
        QTest::newRow("offset -25") << a([](ConfigModel& m) { m.channel(1).offset = "-25"; }) << 4
                                    << "k003FAA2B000019";
        QTest::newRow("offset 0 and -0.4")
            << a([](ConfigModel& m) { m.channel(2).offset = "-0.4"; }) << 5 << "k003FAE2D000000";
        QTest::newRow("totaliser factor")
            << a([](ConfigModel& m) { m.channel(1).convTOT = "16777215"; }) << 6 << "k003FB22BFFFFFF";
        QTest::newRow("totaliser factor rounded")
            << a([](ConfigModel& m) { m.channel(2).convTOT = "2.5"; }) << 7 << "k003FB62B000002";
    }

    void flowConversion() {
        QFETCH(ModelEdit, edit);
        QFETCH(int, step);
        QFETCH(QString, command);
        ConfigModel model(InstrumentKind::Quorvane);
        writing::loadDefaults(model);
        writing::padUnitTexts(model);
        edit(model);
        const writing::MemoryWrites writes = writing::flowConversionWrites(model);
        QCOMPARE(writes.refusal, std::string());
        QCOMPARE(writes.commands.size(), std::size_t(11));
        QCOMPARE(QString::fromStdString(writes.commands[step - 1]), command);
    }

    // One "Setting error" naming the field, and not a byte on the line, whatever the box holds.
    void refusedBeforeAnyByte() {
        const QString scaleRange = "Accepted: -65535 ... +65535 (the digits without the decimal point).";
        struct Case {
            InstrumentKind kind;
            ModelEdit edit;
            QString text;
            int range = 0; // Set Single of this range; 0: Set All
        };
        const auto L = InstrumentKind::Lumatrix;
        const auto Q = InstrumentKind::Quorvane;
        const std::vector<Case> cases{
            {L, [](ConfigModel& m) { m.scale(4, 8).end = "+700.00"; },
             "Scale 20mV, Gain 8, End Scale: \"+700.00\" cannot be written.\r\n" + scaleRange},
            {L, [](ConfigModel& m) { m.scale(1, 3).start = "99999"; },
             "Scale 5V, Gain 3, Start Scale: \"99999\" cannot be written.\r\n" + scaleRange, 1},
            {L, [](ConfigModel& m) { m.scale(2, 2).start = "abc"; },
             "Scale 2V, Gain 2, Start Scale: \"abc\" cannot be written.\r\n" + scaleRange},
            {Q, [](ConfigModel& m) { m.channel(2).endScale = "70000"; },
             "Channel B, A/D Conversion End Scale: \"70000\" cannot be written.\r\n" + scaleRange},
            {Q, [](ConfigModel& m) { m.channel(1).dp = -1; },
             "Channel A, Flow Conversion Decimal Point: nothing is selected.\r\nAccepted: 0 ... 5."},
            {Q, [](ConfigModel& m) { m.channel(1).factor = ""; },
             "Channel A, Flow Conversion Divider factor: \"\" cannot be written.\r\nAccepted: 0 ... 255."},
            {Q, [](ConfigModel& m) { m.channel(2).offset = "-16777216"; },
             "Channel B, Flow Conversion Offset: \"-16777216\" cannot be written.\r\n"
             "Accepted: -16777215 ... +16777215."},
            {Q, [](ConfigModel& m) { m.channel(1).convTOT = "-1"; },
             "Channel A, Totalizer Conversion factor: \"-1\" cannot be written.\r\nAccepted: 0 ... "
             "16777215."},
            {Q, [](ConfigModel& m) { m.channel(2).convTOT = "1,5"; },
             "Channel B, Totalizer Conversion factor: \"1,5\" cannot be written.\r\nAccepted: 0 ... "
             "16777215."},
        };
        for (const Case& c : cases) {
            WriteRig rig(c.kind);
            c.edit(rig.model);
            const SetResult result = c.range ? writing::setSingle(rig.model, rig.link, c.range)
                                             : writing::setAll(rig.model, rig.link);
            QCOMPARE(result, SetResult::Refused);
            QCOMPARE(rig.port.written(), std::string());
            QCOMPARE(rig.ui.messages.size(), std::size_t(1));
            QCOMPARE(QString::fromStdString(rig.ui.messages[0].text), c.text);
            QCOMPARE(rig.ui.messages[0].title, std::string("Setting error"));
            QCOMPARE(rig.ui.messages[0].icon, devlink::Icon::Exclamation);
            QVERIFY(rig.settled());
        }
    }

    void converterType_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("service");
        QTest::addColumn<int>("range"); // Set Single of this range; 0: Set All
        QTest::addColumn<QStringList>("writes");
        QTest::addColumn<QString>("message");
        QStringList service;
        for (int range = 1; range <= 6; ++range)
            service << rangeAddresses(range, 1);
        const QString fixed = "Setting not allowed\r\nQTR-MZ Type: ";
        QTest::newRow("service code: 48 slots") << "0" << true << 0 << service << "";
        QTest::newRow("fixed 3, page 3") << "3" << false << 3 << rangeAddresses(3) << "";
        QTest::newRow("fixed 6, page 5") << "6" << false << 5 << QStringList() << fixed + "4-20mA";
        QTest::newRow("unknown code 9") << "9" << false << 0 << QStringList() << fixed + "9";
        QTest::newRow("unknown code A, single") << "A" << false << 1 << QStringList() << fixed + "A";
        QTest::newRow("no answer") << "" << false << 0 << QStringList() << "";
    }

    // The converter-type query comes first; what it answers decides what is written.
    void converterType() {
        QFETCH(QString, code);
        QFETCH(bool, service);
        QFETCH(int, range);
        QFETCH(QStringList, writes);
        QFETCH(QString, message);
        WriteRig rig(InstrumentKind::Lumatrix, "", code.toStdString());
        rig.model.serviceUnlocked = service;
        range ? writing::setSingle(rig.model, rig.link, range) : writing::setAll(rig.model, rig.link);

        QCOMPARE(addressesOf(commandsOf(rig.port.written())), QStringList{"B02"} + writes);
        QCOMPARE(QString::fromStdString(rig.ui.messages.empty() ? "" : rig.ui.messages[0].text), message);
        QVERIFY(rig.ui.messages.size() <= 1);
        QVERIFY(rig.settled());
    }

    void wakeUpBudget_data() {
        QTest::addColumn<QByteArray>("wakeUps"); // 'y' answered, 'n' not; the rest answered
        QTest::addColumn<int>("commands");
        QTest::addColumn<bool>("completed");
        // B02, then range 1 slots 2..8 (each "!" after a lone CR counts against the whole range).
        QTest::newRow("one miss per range") << QByteArray("y ny yyyyyy yyyyyyny") << 43 << true;
        QTest::newRow("second miss in a range") << QByteArray("y ny yyy ny") << 5 << false;
        QTest::newRow("silent from the start") << QByteArray("y nn") << 1 << false;
        QTest::newRow("query unanswered") << QByteArray("nn") << 0 << false;
    }

    // The unanswered wake-up bytes count over one range's call; the second ends the whole operation
    // with one message.
    void wakeUpBudget() {
        QFETCH(QByteArray, wakeUps);
        QFETCH(int, commands);
        QFETCH(bool, completed);
        WriteRig rig(InstrumentKind::Lumatrix, wakeUps.replace(' ', "").toStdString());
        QCOMPARE(writing::setAll(rig.model, rig.link),
                 completed ? SetResult::Completed : SetResult::NotConnected);
        QCOMPARE(commandsOf(rig.port.written()).size(), commands);
        QCOMPARE(rig.ui.messages.size(), std::size_t(completed ? 0 : 1));
        if (!completed) {
            QCOMPARE(rig.ui.messages[0].text, std::string("Lumatrix not connected!"));
            QVERIFY(rig.port.written().ends_with(wake + "\r"));
        }
        QVERIFY(rig.settled());
    }

    // The flow unit's constants (the full sequence is the end-to-end test's); a silence mid-way.
    void quorvaneSetAll() {
        {
            WriteRig rig(InstrumentKind::Quorvane);
            rig.model.channel(1).a = "1.5";
            rig.model.channel(1).zero = "abcdefghij";
            QCOMPARE(writing::setAll(rig.model, rig.link), SetResult::Completed);
            // A longer constant is cut to its eight characters.
            QCOMPARE(commandsOf(rig.port.written()).mid(19),
                     (QStringList{"k003FE861626364", "k003FEC65666768"}));
        }
        {
            // All four constants empty: the stored formula is left alone.
            WriteRig rig(InstrumentKind::Quorvane);
            QCOMPARE(writing::setAll(rig.model, rig.link), SetResult::Completed);
            QCOMPARE(commandsOf(rig.port.written()).size(), 13);
        }
        {
            WriteRig rig(InstrumentKind::Quorvane, "yyyyyyn");
            rig.model.channel(1).a = "1";
            QCOMPARE(writing::setAll(rig.model, rig.link), SetResult::NotConnected);
            QCOMPARE(addressesOf(commandsOf(rig.port.written())),
                     (QStringList{"e2290", "e22A0", "c003FA4", "k003FA5", "c003FA9", "k003FAA"}));
            QCOMPARE(rig.ui.messages.size(), std::size_t(1));
            QCOMPARE(rig.ui.messages[0].text, std::string("Quorvane not connected!"));
            QVERIFY(rig.settled());
        }
    }
};

QTEST_MAIN(ScaleWritesTest)
#include "scale_writes_test.moc"
