// The main window end to end: its buttons clicked against the instrument emulator on a
// pseudo-terminal, through the real serial port and clock, landing in the model and the widgets.
// The expected values are the emulator's out-of-the-box contents (see sim/README.md).

#include "../config/Print.h"
#include "Station.h"

#include <QPlainTextEdit>

using config::InstrumentKind;
using config::Preset;
using e2e::Emulator;
using e2e::Station;

namespace {

// "Get Date & Time": the fields show the emulator's clock, which runs on the computer's time.
void checkClock(Station& station) {
    const QDateTime before = QDateTime::currentDateTime();
    station.click("cmdGetTime");
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

} // namespace

class WindowEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void lumatrixClockAndRecording();
    void quorvaneConfiguration();
    void quorvaneClockAndAcquisition();
    void portChosenLastIsUsed();
};

// "Get Date & Time" and "Get Recording rate from Device" on the read-out unit.
void WindowEndToEnd::lumatrixClockAndRecording() {
    Station station(InstrumentKind::Lumatrix);
    QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
    checkClock(station);

    // Recording every minute (code 3) on A and B (code 2).
    station.click("cmdGetRec");
    auto* rate = station.window.findChild<QComboBox*>("cmbLumatrixRate");
    QVERIFY(rate->currentIndex() == 3 && !rate->isHidden());
    QVERIFY(station.window.findChild<QAbstractButton*>("optCHRec(2)")->isChecked());
    QVERIFY(!station.window.findChild<QAbstractButton*>("optCHRec(0)")->isChecked());
    station.checkSettled();
    QVERIFY2(station.answers.asked.empty(), qPrintable(station.answers.askedTexts().join(" / ")));
    QCOMPARE(station.commands(), (QStringList{"H", "B00"}));
}

// "Get Configuration from Device" on the flow unit: both channels' settings, the formula, presets.
void WindowEndToEnd::quorvaneConfiguration() {
    Station station(InstrumentKind::Quorvane);
    QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
    const config::ConfigModel& model = station.window.model();

    station.click("cmdReadConfig");

    // No question, no message.
    QVERIFY2(station.answers.asked.empty(), qPrintable(station.answers.askedTexts().join(" / ")));
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
    QVERIFY(model.preset(1) == (Preset{6, 2}) && model.preset(2) == (Preset{6, 3}));
    for (int k : {3, 4})
        QVERIFY(!model.preset(k).range && !model.preset(k).gain);
    QCOMPARE(model.text1, QStringLiteral("        \r\n        \r\n"));
    QCOMPARE(station.window.findChild<QPlainTextEdit*>("Text1")->toPlainText().remove('\r'),
             QStringLiteral("        \n        \n"));
    station.checkSettled();
    QCOMPARE(station.commands(), (QStringList{"C002290", "C0022A0", "C003FA0", "C003FB0", "C003FC0",
                                              "C003FD0", "C003FE0", "C003FF0", "B10"}));
}

// "Get Date & Time" and the acquisition data's "Get" on the flow unit.
void WindowEndToEnd::quorvaneClockAndAcquisition() {
    Station station(InstrumentKind::Quorvane);
    QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
    checkClock(station);

    // Rate 30 s (code 2), next block 301, totalisers 123456 and 12345.
    station.click("cmdGetRate");
    const config::ConfigModel& model = station.window.model();
    QVERIFY(model.rateIndex == 2 && station.listIndex("cmbRate") == 2 && model.nextBlock == 301);
    QCOMPARE(station.text("txtNextBlock") + ' ' + station.text("txtTotalizer(1)") + ' ' +
                 station.text("txtTotalizer(2)"),
             QStringLiteral("0301 123456 012345"));
    station.checkSettled();
    QVERIFY2(station.answers.asked.empty(), qPrintable(station.answers.askedTexts().join(" / ")));
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

    station.click("comport(2)");
    station.click("cmdGetTime");
    station.click("comport(0)");
    station.window.choosePortListItem(0); // "Com 5"
    station.click("cmdGetTime");
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
