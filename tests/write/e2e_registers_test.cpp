// Register writes, the clock, the totalisers, the service window and the keypad presets end to
// end: buttons clicked against the instrument emulator, each write followed by the read that shows
// it landed, refused input sending nothing, and a silent unit giving one message per operation.

#include "Station.h"

#include <QAction>
#include <QRadioButton>

using config::InstrumentKind;
using e2e::Station;

namespace {

QDialog* secondary(Station& station, const char* name) {
    return station.window.findChild<QDialog*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
}

void clickIn(QWidget* window, const char* name) {
    QVERIFY2(window, name);
    auto* button = window->findChild<QAbstractButton*>(QLatin1String(name));
    QVERIFY2(button && button->isEnabled(), name);
    button->click();
}

void chooseIn(QWidget* window, const char* list, int index) {
    QVERIFY2(window, list);
    auto* combo = window->findChild<QComboBox*>(QLatin1String(list));
    QVERIFY2(combo, list);
    combo->setCurrentIndex(index);
}

QLineEdit* boxIn(QWidget* window, int k) {
    return window ? window->findChild<QLineEdit*>(QStringLiteral("txtPx(%1)").arg(k)) : nullptr;
}

void openServiceWindow(Station& station) {
    station.window.unlockService();
    station.window.findChild<QAction*>(QStringLiteral("mnuService"))->trigger();
}

// Commands that reached the emulator (whether or not it woke for them).
QStringList commandsTaken(Station& station) {
    station.sim.stop();
    QStringList taken;
    for (const auto& line : station.sim.transcript())
        if (line.what.endsWith(QLatin1String("<CR>")) && line.what != QLatin1String("<CR>"))
            taken << line.what;
    return taken;
}

} // namespace

class RegistersEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void recordingAndClock() {
        Station station(InstrumentKind::Lumatrix);
        QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
        chooseIn(&station.window, "cmbLumatrixRate", 12);
        station.window.findChild<QRadioButton*>(QStringLiteral("optCHRec(0)"))->click();
        station.click(QStringLiteral("cmdSetRec"));
        station.click(QStringLiteral("cmdGetRec"));
        QCOMPARE(station.listIndex(QStringLiteral("cmbLumatrixRate")), 12);
        QVERIFY(station.window.findChild<QRadioButton*>(QStringLiteral("optCHRec(0)"))->isChecked());
        station.checkSettled();

        // The computer's clock into the boxes, then into the unit, then read back.
        station.answers.now = QDateTime(QDate(2025, 12, 31), QTime(8, 5, 0));
        station.click(QStringLiteral("cmdSysTime"));
        QCOMPARE(station.text(QStringLiteral("txtDate")), QStringLiteral("31-12-25"));
        QCOMPARE(station.text(QStringLiteral("txtTime")), QStringLiteral("08:05:00"));
        station.click(QStringLiteral("cmdSetTime"));
        station.click(QStringLiteral("cmdGetTime"));
        QCOMPARE(station.text(QStringLiteral("txtDate")), QStringLiteral("31-12-25"));
        QVERIFY2(station.text(QStringLiteral("txtTime")).startsWith(QLatin1String("08:05:0")),
                 qPrintable(station.text(QStringLiteral("txtTime"))));
        QVERIFY(station.answers.asked.empty());
        station.checkSettled();

        QCOMPARE(station.commands(), (QStringList{"iC", "b0610", "B00", "h25-12-31 08:05:00", "H", "H"}));
    }

    void serviceAndPresets() {
        Station station(InstrumentKind::Lumatrix);
        QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));

        // "200 mV" fixes the unit to range 3, so Set All is refused; "Open Scale" lifts it.
        openServiceWindow(station);
        QDialog* service = secondary(station, "frmService");
        QVERIFY(service && service->isVisible());
        chooseIn(service, "cmbSingleScale", 3);
        clickIn(service, "cmdSetScale");
        station.click(QStringLiteral("cmdDefault"));
        station.click(QStringLiteral("cmdSetAll"));
        QCOMPARE(station.answers.askedTexts(),
                 QStringList{QStringLiteral("Setting error: Setting not allowed\r\nQTR-MZ Type: 200mV")});
        chooseIn(service, "cmbSingleScale", 0);
        clickIn(service, "cmdSetScale");

        // Presets sent, then read back.
        station.click(QStringLiteral("cmdPx"));
        QCOMPARE(station.window.model().fixedRangeCode, QStringLiteral("0"));
        QDialog* presets = secondary(station, "frmPx");
        QVERIFY(presets && presets->isVisible());
        const QString sent[4] = {QStringLiteral("9"), QStringLiteral("48"), QStringLiteral("1"), QString()};
        for (int k = 1; k <= 4; ++k)
            boxIn(presets, k)->setText(sent[k - 1]);
        clickIn(presets, "cmdSend");
        for (int k = 1; k <= 4; ++k)
            boxIn(presets, k)->setText(QString());
        clickIn(presets, "cmdGet");
        for (int k = 1; k <= 4; ++k)
            QCOMPARE(boxIn(presets, k)->text(), sent[k - 1]);

        // The service window's rate alone, read back by the main window.
        chooseIn(service, "cmbRate", 7);
        clickIn(service, "cmdSetRec");
        station.click(QStringLiteral("cmdGetRec"));
        QCOMPARE(station.listIndex(QStringLiteral("cmbLumatrixRate")), 7);
        QCOMPARE(station.answers.asked.size(), std::size_t(1));
        station.checkSettled();

        QCOMPARE(station.commands(),
                 (QStringList{"b0002", "b0203", "a08002", "a07B03", "B02",   "b0200", "a07B00",
                              "B02",   "b1001", "b1100",  "b1801",  "b1900", "b1205", "b1307",
                              "b1A05", "b1B07", "b1400",  "b1500",  "B10",   "i7",    "B00"}));
    }

    void flowRateAndTotalizer() {
        Station station(InstrumentKind::Quorvane);
        QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));

        // Refusals and the other boxes' rules are the unit tests'; here the bytes land.
        station.setText(QStringLiteral("txtNextBlock"), QStringLiteral("1.234"));
        chooseIn(&station.window, "cmbRate", 13);
        station.click(QStringLiteral("cmdSetRate"));
        QCOMPARE(station.text(QStringLiteral("txtNextBlock")), QStringLiteral("1234"));
        station.setText(QStringLiteral("txtTotalizer(1)"), QStringLiteral("123"));
        station.answers.answers = {devlink::Answer::Yes};
        station.click(QStringLiteral("cmdResetTOT(1)"));
        QCOMPARE(station.text(QStringLiteral("txtTotalizer(1)")), QStringLiteral("000123"));
        station.checkSettled();

        station.click(QStringLiteral("cmdGetRate"));
        QCOMPARE(station.text(QStringLiteral("txtNextBlock")), QStringLiteral("1234"));
        QCOMPARE(station.listIndex(QStringLiteral("cmbRate")), 13);
        QCOMPARE(station.text(QStringLiteral("txtTotalizer(1)")), QStringLiteral("000123"));
        QCOMPARE(station.text(QStringLiteral("txtTotalizer(2)")), QStringLiteral("012345"));
        station.checkSettled();

        QCOMPARE(station.commands(),
                 (QStringList{"b0304", "b04D2", "iD", "b3500", "b3600", "b377B", "I", "B00", "B30"}));
    }

    // One message per operation, no command, no window left behind (the other operations' silences are
    // the unit tests').
    void silentUnit() {
        Station station(InstrumentKind::Lumatrix, QStringLiteral("never-wake"));
        QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
        auto& asked = station.answers.asked;
        station.click(QStringLiteral("cmdPx"));
        QCOMPARE(asked.size(), std::size_t(1));
        QVERIFY(!secondary(station, "frmPx"));
        openServiceWindow(station);
        clickIn(secondary(station, "frmService"), "cmdSetScale");
        QCOMPARE(asked.size(), std::size_t(2));
        for (const auto& a : asked)
            QCOMPARE(a.text, QStringLiteral("Lumatrix not connected!"));
        station.checkSettled();
        QCOMPARE(commandsTaken(station), QStringList());
    }
};

QTEST_MAIN(RegistersEndToEnd)
#include "e2e_registers_test.moc"
