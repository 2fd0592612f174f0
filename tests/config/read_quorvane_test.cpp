// Reading the flow unit's configuration: analogue inputs, conversion blocks, formula text and
// presets, byte for byte against a scripted instrument in virtual time.

#include "Rig.h"
#include "config/ReadOperations.h"

#include <QTest>

using config::FlowChannel;
using config::InstrumentKind;
using config::ReadResult;
using configtest::dumpReply;
using configtest::Rig;
using configtest::slotBytes;
using configtest::textBytes;
using configtest::wake;

namespace {

const std::vector<std::string> readCommands{"C002290", "C0022A0", "C003FA0", "C003FB0", "C003FC0",
                                            "C003FD0", "C003FE0", "C003FF0", "B10"};

std::string commandBytes(std::size_t count) {
    std::string bytes;
    for (std::size_t i = 0; i < count; ++i)
        bytes += wake + readCommands[i] + "\r";
    return bytes;
}

std::vector<std::uint8_t> block1() {
    return {0x11, 0x22, 0x33, 0x44,      // not used
            0x09, 'l',  '/',  's',  ' ', // decimal point (none of the list), flow unit
            200,                         // divider
            0x2B, 0x00, 0x03, 0xE8,      // offset A: "+" stands for negative
            0x2D, 0x00};                 // offset B: "-" stands for positive; magnitude goes on
}
std::vector<std::uint8_t> block2() {
    return {0x01, 0xF4,             // offset B magnitude, low bytes
            0x2D, 0x00, 0x00, 0x24, // totaliser factor A: -36
            0x2B, 0x01, 0x86, 0xA0, // totaliser factor B: 100000
            0x02, 0x07,             // totaliser decimal points A, B
            'm',  '3',  ' ',  ' '}; // totaliser unit A
}
std::vector<std::uint8_t> block3() {
    return {'k', 'g', ' ', ' ', 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
}

std::string padded(const std::string& text, std::size_t width) {
    std::string p = text;
    p.resize(width, ' ');
    return p;
}

struct Instrument {
    std::string formula = padded("A*X", 48);
    std::string presets = "01 02 0F 0F 05 07 00 00\r";
};

// Scripts every reply of a whole read; `skip` leaves one command unanswered.
void script(Rig& rig, const Instrument& in = {}, const std::string& skip = {}) {
    auto on = [&](const std::string& command, const std::string& reply) {
        if (command != skip)
            rig.port.onCommand(command).reply(reply, 0.01);
    };
    on("C002290", dumpReply(slotBytes(2, '-', 500, '+', 20000, "FlwA", "mA")));
    on("C0022A0", dumpReply(slotBytes(7, '+', 0, '-', 65535, "B", "V")));
    on("C003FA0", dumpReply(block1()));
    on("C003FB0", dumpReply(block2()));
    on("C003FC0", dumpReply(block3()));
    on("C003FD0", dumpReply(textBytes(in.formula.substr(0, 16))));
    on("C003FE0", dumpReply(textBytes(in.formula.substr(16, 16))));
    on("C003FF0", dumpReply(textBytes(in.formula.substr(32, 16))));
    on("B10", in.presets);
}

} // namespace

class ReadQuorvaneTest : public QObject {
    Q_OBJECT

private slots:
    void fullReadBytesAndFields();
    void formulaPiecesFillTheConstantsAndGrowText1();
    void missingRepliesAndWakeUps();
    void cutReplies();
};

void ReadQuorvaneTest::fullReadBytesAndFields() {
    Rig rig(InstrumentKind::Quorvane);
    rig.wakeUps("");
    script(rig);
    rig.model.channel(2).formula = "stale";
    std::vector<int> shown;

    QCOMPARE(config::readConfiguration(rig.model, rig.link, [&](int range) { shown.push_back(range); }),
             ReadResult::Completed);

    QCOMPARE(rig.port.written(), commandBytes(9));
    QVERIFY(!rig.port.isOpen());
    QCOMPARE(shown, std::vector<int>{6});

    // Decimal point byte 09 selects the first entry; offsets: "+" (2B) stands for a negative
    // offset, "-" (2D) for a positive one, B's magnitude spans blocks 1 and 2; a formula memory
    // holding "A*X" padded with spaces; channel B's equation is not read, and was cleared.
    QCOMPARE(rig.model.channel(1), (FlowChannel{"-500", "+20000", 2, "FlwA", "mA  ", "A*X", "200", "-1000", 0,
                                                "l/s ", "-36", 2, "m3  ", "A*X", "", "", ""}));
    // 7 is not a decimal point of the A/D scale.
    QCOMPARE(rig.model.channel(2), (FlowChannel{"+0", "-65535", 0, "B   ", "V   ", "", "1", "500", 0, "l/s ",
                                                "100000", 0, "kg  ", "", "", "", ""}));
    QCOMPARE(rig.model.preset(1), (config::Preset{2, 3}));
    QVERIFY(rig.model.configRead);

    // No question for the flow unit; the progress window walks through the parts.
    QVERIFY(rig.ui.messages.empty());
    QCOMPARE(rig.calls(),
             std::string("lockPanels | setProgressRange 0 0 8 | showProgress 0 Getting Scale 6... | "
                         "setProgressLabel 0 Receiving Gain 2 | setProgressValue 0 2 | "
                         "setProgressLabel 0 Receiving Gain 3 | setProgressValue 0 3 | "
                         "showProgress 0 Getting flow conversion values... | "
                         "setProgressLabel 0 Receiving Block 1 | setProgressValue 0 4 | "
                         "setProgressLabel 0 Receiving Block 2 | setProgressValue 0 5 | "
                         "setProgressLabel 0 Receiving Block 3 | setProgressValue 0 6 | "
                         "setProgressLabel 0 Receiving linearization values... | "
                         "setProgressValue 0 7 | showProgress 0 Getting values... | "
                         "setProgressLabel 0 Receiving Px values | closeProgress 0 | unlockPanels"));
}

void ReadQuorvaneTest::formulaPiecesFillTheConstantsAndGrowText1() {
    Rig rig(InstrumentKind::Quorvane);
    rig.wakeUps("");
    Instrument in;
    in.formula = padded(" 1.5", 8) + padded("2.25", 8) + padded("3", 8) + padded("0.1", 8) +
                 padded("x*a+k", 8) + padded("/t", 8);
    script(rig, in);
    script(rig, in); // a second read
    rig.model.text1 = "kept\r\n";

    config::readConfiguration(rig.model, rig.link);
    const FlowChannel& a = rig.model.channel(1);
    QCOMPARE(a.formula, QString("1.52.2530.1x*a+k/t"));
    QCOMPARE(QStringList({a.a, a.k, a.t, a.zero}).join('|'), QString("1.5|2.25|3|0.1"));
    const QString lines = "x*a+k   \r\n/t      \r\n";
    QCOMPARE(rig.model.text1, "kept\r\n" + lines);

    config::readConfiguration(rig.model, rig.link);
    QCOMPARE(rig.model.text1, "kept\r\n" + lines + lines);
    QCOMPARE(a.formula, QString("1.52.2530.1x*a+k/t"));
}

void ReadQuorvaneTest::missingRepliesAndWakeUps() {
    // What every read with a reply or a wake-up missing must do.
    const auto read = [](Rig& rig, const std::string& wakeUps, const std::string& skip, ReadResult result,
                         const std::string& written, std::size_t messages, const Instrument& in = {}) {
        rig.wakeUps(wakeUps);
        script(rig, in, skip);
        QCOMPARE(config::readConfiguration(rig.model, rig.link), result);
        QCOMPARE(rig.port.written(), written);
        QCOMPARE(rig.ui.messages.size(), messages);
        if (messages)
            QCOMPARE(rig.ui.messages[0].text, std::string("Quorvane not connected!"));
        QVERIFY(rig.count("closeProgress 0") > 0);
        QCOMPARE(rig.ui.calls.back(), std::string("unlockPanels"));
        QVERIFY(!rig.port.isOpen());
    };

    Rig absent(InstrumentKind::Quorvane); // one message; the fields were cleared before the read
    absent.model.channel(2).label = "old";
    absent.model.channel(1).dp = 3;
    read(absent, "nn", "", ReadResult::NotConnected, wake + "\r" + wake + "\r", 1);
    QVERIFY(absent.calls().ends_with("closeProgress 0 | message Connection error: Quorvane not connected! | "
                                     "unlockPanels"));
    QVERIFY(absent.model.channel(2).label.isEmpty());
    QCOMPARE(absent.model.channel(1).dp, -1);
    QVERIFY(absent.model.configRead);

    Rig input(InstrumentKind::Quorvane); // an input's reply times out: stops silently
    read(input, "", "C0022A0", ReadResult::Stopped, commandBytes(2), 0);
    QCOMPARE(input.model.channel(1).label, QString("FlwA"));
    QVERIFY(input.model.channel(2).label.isEmpty());

    // A block's wake-up unanswered: no lone CR, no command after it, the read ends there.
    Rig block(InstrumentKind::Quorvane);
    read(block, "yyyn", "", ReadResult::NotConnected, commandBytes(3) + wake, 1);
    QCOMPARE(block.port.openCount(), 1);
    // Nothing of the blocks is shown when one of them is missing.
    QCOMPARE(block.model.channel(1).dp, -1);
    QVERIFY(block.model.channel(1).factor.isEmpty());
    QCOMPARE(block.model.channel(2).label, QString("B   "));

    Rig formula(InstrumentKind::Quorvane); // a formula block's wake-up unanswered: the same
    read(formula, "yyyyyyn", "", ReadResult::NotConnected, commandBytes(6) + wake, 1,
         {.formula = padded("1.5", 8) + padded("2", 8) + padded("3", 8) + padded("4", 8) + padded("x", 16)});
    const FlowChannel& a = formula.model.channel(1);
    QCOMPARE(a.formula, QString("1.52"));
    QCOMPARE(a.a, QString("1.5"));
    QVERIFY(a.t.isEmpty() && a.zero.isEmpty());
    QVERIFY(!formula.model.preset(1).assigned());
}

void ReadQuorvaneTest::cutReplies() {
    // Blocks that stop early decode what they hold; the rest reads as empty and zero.
    Rig rig(InstrumentKind::Quorvane);
    rig.wakeUps("");
    rig.port.onCommand("C002290").reply("0");
    rig.port.onCommand("C003FB0").reply("01 F4 2D 00");
    rig.port.onCommand("C003FC0").reply("6B 67");
    rig.port.onCommand("C003FD0").reply("41 2A 58 20"); // fewer than 48 characters: never taken
    rig.port.onCommand("B10").reply("01 00\r");
    script(rig);

    QCOMPARE(config::readConfiguration(rig.model, rig.link), ReadResult::Completed);

    const FlowChannel& a = rig.model.channel(1);
    const FlowChannel& b = rig.model.channel(2);
    QCOMPARE(QStringList({QString::number(a.dpAD), a.startScale, b.offset, a.convTOT, b.unitTOT}).join('|'),
             QString("0|+0|500|-0|kg"));
    QVERIFY(a.label.isEmpty() && a.unitTOT.isEmpty() && a.formula.isEmpty() && a.a.isEmpty());
    QCOMPARE(rig.model.preset(1), (config::Preset{2, 1}));
    QVERIFY(!rig.model.preset(2).range);
    QVERIFY(rig.ui.messages.empty());
    QVERIFY(!rig.ui.panelsLocked);
}

QTEST_GUILESS_MAIN(ReadQuorvaneTest)
#include "read_quorvane_test.moc"
