// Register writes, the clock, the totalisers, the service window and the keypad presets end to
// end: buttons clicked against the instrument emulator, each write followed by the read that shows
// it landed, refused input sending nothing, and a silent unit giving one message per operation.

#include "Station.h"
#include "config/Queries.h"

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

// Closed windows go away once the event loop has run.
void flushClosedWindows() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
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
    void recordingAndClock();
    void serviceAndPresets();
    void flowRateAndTotalizer();
    void silentUnit();
};

void RegistersEndToEnd::recordingAndClock() {
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

void RegistersEndToEnd::serviceAndPresets() {
    Station station(InstrumentKind::Lumatrix);
    QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
    config::ConfigModel& model = station.window.model();

    // "200 mV" fixes the unit to range 3: the converter type now says so.
    openServiceWindow(station);
    QDialog* service = secondary(station, "frmService");
    QVERIFY(service && service->isVisible());
    QCOMPARE(service->findChild<QComboBox*>(QStringLiteral("cmbSingleScale"))->count(), 7);
    chooseIn(service, "cmbSingleScale", 3);
    clickIn(service, "cmdSetScale");
    QCOMPARE(config::queryConverterType(model, station.session.link()), config::QueryResult::Answered);
    QCOMPARE(model.fixedRangeCode, QStringLiteral("3"));

    // The preset window opens on the answered converter type and keeps presets in that range.
    station.click(QStringLiteral("cmdPx"));
    QDialog* presets = secondary(station, "frmPx");
    QVERIFY(presets && presets->isVisible());
    QCOMPARE(presets->windowTitle(), QStringLiteral("Keypad Setup"));
    boxIn(presets, 2)->setText(QStringLiteral("25"));
    clickIn(presets, "cmdSend");
    QCOMPARE(station.answers.askedTexts(),
             QStringList{QStringLiteral("Px Setting error: P2 value is not inside the scale 200mV")});
    presets->close();
    flushClosedWindows();

    // "Open Scale" lifts it; presets sent, then read back.
    chooseIn(service, "cmbSingleScale", 0);
    clickIn(service, "cmdSetScale");
    station.click(QStringLiteral("cmdPx"));
    QCOMPARE(model.fixedRangeCode, QStringLiteral("0"));
    presets = secondary(station, "frmPx");
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
             (QStringList{"b0002", "b0203", "a08002", "a07B03", "B02", "B02", "b0200", "a07B00", "B02", "b1001",
                          "b1100", "b1801", "b1900", "b1205", "b1307", "b1A05", "b1B07", "b1400", "b1500", "B10",
                          "i7", "B00"}));
}

void RegistersEndToEnd::flowRateAndTotalizer() {
    Station station(InstrumentKind::Quorvane);
    QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));

    station.setText(QStringLiteral("txtNextBlock"), QStringLiteral("65536"));
    chooseIn(&station.window, "cmbRate", 13);
    station.click(QStringLiteral("cmdSetRate"));
    QCOMPARE(station.answers.askedTexts(), QStringList{QStringLiteral("Error: Incorrect block inserted")});
    station.click(QStringLiteral("cmdBlockReset"));
    QCOMPARE(station.text(QStringLiteral("txtNextBlock")), QStringLiteral("0001"));

    station.setText(QStringLiteral("txtNextBlock"), QStringLiteral("1.234"));
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

    QCOMPARE(station.commands(), (QStringList{"b0304", "b04D2", "iD", "b3500", "b3600", "b377B", "I", "B00", "B30"}));
}

// One message per operation, no command, no window left behind.
void RegistersEndToEnd::silentUnit() {
    {
        Station station(InstrumentKind::Lumatrix, QStringLiteral("never-wake"));
        QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
        auto& asked = station.answers.asked;
        chooseIn(&station.window, "cmbLumatrixRate", 3);
        station.window.findChild<QRadioButton*>(QStringLiteral("optCHRec(2)"))->click();
        station.click(QStringLiteral("cmdSetRec"));
        QCOMPARE(asked.size(), std::size_t(1));
        station.setText(QStringLiteral("txtDate"), QStringLiteral("31-12-25"));
        station.setText(QStringLiteral("txtTime"), QStringLiteral("08:05:00"));
        station.click(QStringLiteral("cmdSetTime"));
        QCOMPARE(asked.size(), std::size_t(2));
        QCOMPARE(station.text(QStringLiteral("txtDate")), QStringLiteral("31-12-25"));
        station.click(QStringLiteral("cmdPx"));
        QCOMPARE(asked.size(), std::size_t(3));
        QVERIFY(!secondary(station, "frmPx"));
        openServiceWindow(station);
        clickIn(secondary(station, "frmService"), "cmdSetScale");
        QCOMPARE(asked.size(), std::size_t(4));
        for (const auto& a : asked)
            QCOMPARE(a.text, QStringLiteral("Lumatrix not connected!"));
        station.checkSettled();
        QCOMPARE(commandsTaken(station), QStringList());
    }
    {
        Station station(InstrumentKind::Quorvane, QStringLiteral("never-wake"));
        QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
        auto& asked = station.answers.asked;
        station.setText(QStringLiteral("txtNextBlock"), QStringLiteral("12"));
        chooseIn(&station.window, "cmbRate", 2);
        station.click(QStringLiteral("cmdSetRate"));
        QCOMPARE(asked.size(), std::size_t(1));
        station.setText(QStringLiteral("txtTotalizer(2)"), QStringLiteral("5"));
        station.answers.answers = {devlink::Answer::Yes};
        station.click(QStringLiteral("cmdResetTOT(2)"));
        QCOMPARE(station.answers.askedTexts(),
                 (QStringList{"Connection error: Quorvane not connected!", "Quorvane Totalizer: " + asked[1].text,
                              "Connection error: Quorvane not connected!"}));
        station.checkSettled();
        QCOMPARE(commandsTaken(station), QStringList());
    }
}

QTEST_MAIN(RegistersEndToEnd)
#include "e2e_registers_test.moc"
