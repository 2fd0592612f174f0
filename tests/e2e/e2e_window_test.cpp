// The main window end to end: its buttons clicked against the instrument emulator on a
// pseudo-terminal, through the real serial port and clock, landing in the model and the widgets.
//
// The expected values are the emulator's out-of-the-box contents (see sim/README.md) as the window
// shows them. The read-out unit's full read runs its two-tick pauses in real time (about a minute);
// it is its own CTest entry.

#include "../config/Print.h"
#include "Station.h"

#include <QTabWidget>
#include <QPlainTextEdit>

using config::InstrumentKind;
using config::Preset;
using config::Scale;
using e2e::Emulator;
using e2e::Station;

namespace {

// "Get Date & Time": the fields show the emulator's clock, which runs on the computer's time.
void checkClock(Station& station) {
    const QDateTime before = QDateTime::currentDateTime();
    station.click(QStringLiteral("cmdGetTime"));
    const QDateTime after = QDateTime::currentDateTime();
    const QDate date = QDate::fromString(station.text(QStringLiteral("txtDate")), QStringLiteral("dd-MM-yy"));
    const QTime time = QTime::fromString(station.text(QStringLiteral("txtTime")), QStringLiteral("hh:mm:ss"));
    QVERIFY2(date.isValid() && time.isValid(),
             qPrintable(station.window.model().date + ' ' + station.window.model().time));
    const QDateTime instrument(date.addYears(100), time); // two-digit years read as 19yy
    QVERIFY2(instrument >= before.addSecs(-2) && instrument <= after.addSecs(2),
             qPrintable(instrument.toString(Qt::ISODate) + ' ' + before.toString(Qt::ISODate)));
    station.checkSettled();
}

// What the emulator's scale table shows in a read-out unit's grid: the factory range settings in
// the general-purpose slots "GN 2".."GN 8", and its own scales.
Scale expectedScale(int range, int gain) {
    // Decimal point, start and end in the range's display pattern, unit padded to four characters.
    static const Scale general[6] = {
        {"3", "-05.000", "+05.000", "", "V   "}, {"3", "-02.000", "+02.000", "", "V   "},
        {"2", "-200.00", "+200.00", "", "mV  "}, {"3", "-20.000", "+20.000", "", "mV  "},
        {"4", "-2.0000", "+2.0000", "", "mV/V"}, {"3", "+00.000", "+20.000", "", "mA  "},
    };
    if (range == 1 && gain == 2)
        return {"1", "-0100.0", "+0100.0", "TEMP", "degC"};
    if (range == 1 && gain == 3)
        return {"0", "+00000", "+01000", "FLOW", "l/h "};
    if (range == 3 && gain == 2)
        return {"2", "-001.00", "+010.00", "PRES", "bar "};
    if (range == 5 && gain == 2)
        return {"1", "+0000.0", "+0500.0", "LOAD", "kg  "};
    if (range == 6 && gain == 2)
        return {"2", "+000.00", "+005.00", "LEVL", "m   "};
    Scale s = general[range - 1];
    // Row 1 is the factory scale, never read: no label, the unit unpadded.
    if (gain == 1)
        s.unit = s.unit.trimmed();
    else
        s.label = QStringLiteral("GN %1").arg(gain);
    return s;
}

} // namespace

class WindowEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void lumatrixConfiguration();
    void lumatrixClockAndRecording();
    void quorvaneConfiguration();
    void quorvaneClockAndAcquisition();
    void portChosenLastIsUsed();
};

// "Get Configuration from Device" on the read-out unit: the whole scale table and the presets.
void WindowEndToEnd::lumatrixConfiguration() {
    Station station(InstrumentKind::Lumatrix);
    QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
    auto& answers = station.answers;
    answers.answers = {devlink::Answer::Yes};
    const config::ConfigModel& model = station.window.model();

    station.click(QStringLiteral("cmdReadConfig"));

    QVERIFY2(answers.asked.size() == 1, qPrintable(answers.askedTexts().join(" / "))); // the question only
    QCOMPARE(answers.asked[0].title, QStringLiteral("Getting Device Configuration"));
    QVERIFY(model.configRead);
    for (int range = 1; range <= 6; ++range) {
        for (int gain = 1; gain <= 8; ++gain) {
            QCOMPARE(model.scale(range, gain), expectedScale(range, gain));
            QCOMPARE(station.row(range, gain), expectedScale(range, gain));
        }
    }
    // P1 = TEMP (1, 2), P2 = PRES (3, 2), P3 = LOAD (5, 2), P4 unassigned.
    QCOMPARE(model.preset(1), (Preset{1, 2}));
    QCOMPARE(model.preset(2), (Preset{3, 2}));
    QCOMPARE(model.preset(3), (Preset{5, 2}));
    QVERIFY(!model.preset(4).range && !model.preset(4).gain);
    // The last range read stays in front.
    QCOMPARE(station.window.findChild<QTabWidget*>(QStringLiteral("ScaleTab"))->currentIndex(), 5);
    station.checkSettled();

    // On the line: 42 slot reads in order, then the presets, each after its own "!".
    QStringList expected;
    for (int range = 1; range <= 6; ++range)
        for (int gain = 2; gain <= 8; ++gain)
            expected << QStringLiteral("C00%1")
                            .arg(0x2000 + (range - 1) * 0x80 + (gain - 1) * 0x10, 4, 16, QLatin1Char('0'))
                            .toUpper();
    expected << QStringLiteral("B10");
    QCOMPARE(station.commands(), expected);
}

// "Get Date & Time" and "Get Recording rate from Device" on the read-out unit.
void WindowEndToEnd::lumatrixClockAndRecording() {
    Station station(InstrumentKind::Lumatrix);
    QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
    const auto& answers = station.answers;

    checkClock(station);

    // Recording every minute (code 3) on A and B (code 2).
    station.click(QStringLiteral("cmdGetRec"));
    auto* rate = station.window.findChild<QComboBox*>(QStringLiteral("cmbLumatrixRate"));
    QCOMPARE(rate->currentIndex(), 3);
    QVERIFY(!rate->isHidden());
    QVERIFY(station.window.findChild<QAbstractButton*>(QStringLiteral("optCHRec(2)"))->isChecked());
    QVERIFY(!station.window.findChild<QAbstractButton*>(QStringLiteral("optCHRec(0)"))->isChecked());
    station.checkSettled();

    QVERIFY2(answers.asked.empty(), qPrintable(answers.askedTexts().join(" / ")));
    QCOMPARE(station.commands(), (QStringList{"H", "B00"}));
}

// "Get Configuration from Device" on the flow unit: both channels' settings, the formula, presets.
void WindowEndToEnd::quorvaneConfiguration() {
    Station station(InstrumentKind::Quorvane);
    QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
    const auto& answers = station.answers;
    const config::ConfigModel& model = station.window.model();

    station.click(QStringLiteral("cmdReadConfig"));

    QVERIFY2(answers.asked.empty(), qPrintable(answers.askedTexts().join(" / "))); // no question, no message
    QVERIFY(model.configRead);
    // A/D scales: raw magnitudes with their sign, the decimal point as the list index. Flow
    // conversion: one decimal in l/s for both, factor 1, offsets 12 (stored as "-") and 0.
    // Totalisers: factors 3600 and 1, decimal points 0 and 2. The formula "0.5*x+12" padded with
    // spaces to 48 characters.
    const config::FlowChannel a{"+0",   "+1000", 0, "LEVL", " mm ",     "0.5*x+12", "1", "12", 1,
                                "l/s ", "3600",  0, " m3 ", "0.5*x+12", "",         "",  ""};
    const config::FlowChannel b{"+0",   "+2500", 1, "PRES", "mbar", "", "1", "0", 1,
                                "l/s ", "1",     2, " l  ", "",     "", "",  ""};
    QCOMPARE(model.channel(1), a);
    QCOMPARE(model.channel(2), b);
    QCOMPARE(station.channel(1), a);
    QCOMPARE(station.channel(2), b);
    // Presets: P1 and P2 are the two inputs (range 6, slots 2 and 3), P3 and P4 unassigned.
    QCOMPARE(model.preset(1), (Preset{6, 2}));
    QCOMPARE(model.preset(2), (Preset{6, 3}));
    QVERIFY(!model.preset(3).range && !model.preset(3).gain);
    QVERIFY(!model.preset(4).range && !model.preset(4).gain);
    QCOMPARE(model.text1, QStringLiteral("        \r\n        \r\n"));
    auto* text1 = station.window.findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
    QCOMPARE(text1->toPlainText().remove(QLatin1Char('\r')), QStringLiteral("        \n        \n"));
    station.checkSettled();

    QCOMPARE(station.commands(), (QStringList{"C002290", "C0022A0", "C003FA0", "C003FB0", "C003FC0",
                                              "C003FD0", "C003FE0", "C003FF0", "B10"}));
}

// "Get Date & Time" and the acquisition data's "Get" on the flow unit.
void WindowEndToEnd::quorvaneClockAndAcquisition() {
    Station station(InstrumentKind::Quorvane);
    QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
    const auto& answers = station.answers;
    const config::ConfigModel& model = station.window.model();

    checkClock(station);

    // Rate 30 s (code 2), next block 301, totalisers 123456 and 12345.
    station.click(QStringLiteral("cmdGetRate"));
    QCOMPARE(model.rateIndex, 2);
    QCOMPARE(station.listIndex(QStringLiteral("cmbRate")), 2);
    QCOMPARE(model.nextBlock, 301);
    QCOMPARE(station.text(QStringLiteral("txtNextBlock")), QStringLiteral("0301"));
    QCOMPARE(station.text(QStringLiteral("txtTotalizer(1)")), QStringLiteral("123456"));
    QCOMPARE(station.text(QStringLiteral("txtTotalizer(2)")), QStringLiteral("012345"));
    station.checkSettled();

    QVERIFY2(answers.asked.empty(), qPrintable(answers.askedTexts().join(" / ")));
    QCOMPARE(station.commands(), (QStringList{"H", "I", "B00", "B30"}));
}

// Whatever port the user chose last is the one the next operation talks to: the read-out unit on
// Com 1, the flow unit on Com 2 and again on Com 5 (through "Other"), the program started for the
// flow unit.
void WindowEndToEnd::portChosenLastIsUsed() {
    Station station(InstrumentKind::Quorvane, {}, 2);
    Emulator com1(QStringLiteral("lumatrix"), 1);
    Emulator com5(QStringLiteral("quorvane"), 5);
    QVERIFY2(station.sim.started() && com1.started() && com5.started(), qPrintable(station.sim.error()));

    station.click(QStringLiteral("comport(2)"));
    station.click(QStringLiteral("cmdGetTime"));
    station.click(QStringLiteral("comport(0)"));
    station.window.choosePortListItem(0); // "Com 5"
    station.click(QStringLiteral("cmdGetTime"));
    station.checkSettled();

    QVERIFY2(station.answers.asked.empty(), qPrintable(station.answers.askedTexts().join(" / ")));
    QCOMPARE(station.commands(), QStringList{"H"});
    com5.stop();
    QCOMPARE(e2e::commandsOf(com5.transcript()), QStringList{"H"});
    com1.stop();
    QCOMPARE(e2e::commandsOf(com1.transcript()), QStringList{});
}

QTEST_MAIN(WindowEndToEnd)
#include "e2e_window_test.moc"
