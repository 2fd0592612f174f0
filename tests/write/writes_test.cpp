// Writing against a scripted instrument in virtual time: the scale and flow conversion writes, Set All
// and Set Single with the converter-type query, the register writes, clock, totalisers and service
// commands; bytes and pauses, refusals before the first byte, one message after an unanswered wake-up.

#include "../config/Rig.h"
#include "write/ClockSetting.h"
#include "write/ConfigurationWrites.h"
#include "write/Defaults.h"
#include "write/FlowConversion.h"
#include "write/RegisterWrites.h"
#include "write/ScaleWrites.h"
#include "write/ServiceWindow.h"
#include "write/Totalizers.h"

#include <QTest>

#include <functional>

using config::ConfigModel;
using config::InstrumentKind;
using configtest::Rig;
using configtest::wake;
using writing::RegisterResult;
using writing::SetResult;

using ModelEdit = std::function<void(ConfigModel&)>;
Q_DECLARE_METATYPE(ModelEdit)
Q_DECLARE_METATYPE(config::Scale)

namespace {
// The commands on the line, lone CRs left out.
QStringList commandsOf(const Rig& rig) {
    QStringList out;
    for (const QString& piece : QString::fromLatin1(rig.port.written()).split(QChar(0x80)))
        out << piece.split(u'\r', Qt::SkipEmptyParts);
    return out;
}
QString commands(const Rig& rig) { return commandsOf(rig).join(u' '); }

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
    QVERIFY(!rig.port.isOpen() && !rig.ui.panelsLocked);
    bool open = false; // a window shown again for each range is closed once
    for (const std::string& c : rig.ui.calls)
        open = c.starts_with("showProgress") || (open && !c.starts_with("closeProgress"));
    QVERIFY(!open);
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

class WritesTest : public QObject {
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
            checkSettled(rig);
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

        QCOMPARE(addressesOf(commandsOf(rig)), QStringList{"B02"} + writes);
        QCOMPARE(QString::fromStdString(rig.ui.messages.empty() ? "" : rig.ui.messages[0].text), message);
        QVERIFY(rig.ui.messages.size() <= 1);
        checkSettled(rig);
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
        QCOMPARE(commandsOf(rig).size(), commands);
        QCOMPARE(rig.ui.messages.size(), std::size_t(completed ? 0 : 1));
        if (!completed) {
            QCOMPARE(rig.ui.messages[0].text, std::string("Lumatrix not connected!"));
            QVERIFY(rig.port.written().ends_with(wake + "\r"));
        }
        checkSettled(rig);
    }

    // The flow unit's constants (the full sequence is the end-to-end test's); a silence mid-way.
    void quorvaneSetAll() {
        {
            WriteRig rig(InstrumentKind::Quorvane);
            rig.model.channel(1).a = "1.5";
            rig.model.channel(1).zero = "abcdefghij";
            QCOMPARE(writing::setAll(rig.model, rig.link), SetResult::Completed);
            // A longer constant is cut to its eight characters.
            QCOMPARE(commandsOf(rig).mid(19),
                     (QStringList{"k003FE861626364", "k003FEC65666768"}));
        }
        {
            // All four constants empty: the stored formula is left alone.
            WriteRig rig(InstrumentKind::Quorvane);
            QCOMPARE(writing::setAll(rig.model, rig.link), SetResult::Completed);
            QCOMPARE(commandsOf(rig).size(), 13);
        }
        {
            WriteRig rig(InstrumentKind::Quorvane, "yyyyyyn");
            rig.model.channel(1).a = "1";
            QCOMPARE(writing::setAll(rig.model, rig.link), SetResult::NotConnected);
            QCOMPARE(addressesOf(commandsOf(rig)),
                     (QStringList{"e2290", "e22A0", "c003FA4", "k003FA5", "c003FA9", "k003FAA"}));
            QCOMPARE(rig.ui.messages.size(), std::size_t(1));
            QCOMPARE(rig.ui.messages[0].text, std::string("Quorvane not connected!"));
            checkSettled(rig);
        }
    }

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

QTEST_MAIN(WritesTest)
#include "writes_test.moc"
