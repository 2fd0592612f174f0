// The main window end to end: its buttons clicked against the instrument emulator on a
// pseudo-terminal, through the real serial port and clock, landing in the model and the widgets.
//
// The expected values are the emulator's out-of-the-box contents (see sim/README.md) as the window
// shows them. The read-out unit's full read runs its two-tick pauses in real time (about a minute);
// it is its own CTest entry.

#include "Emulator.h"
#include "app/MainWindow.h"
#include "app/MessageBoxes.h"
#include "app/Wiring.h"
#include "config/ConfigModel.h"
#include "link/Clock.h"
#include "link/Link.h"
#include "link/QtSerialPort.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <deque>
#include <memory>

using config::InstrumentKind;
using config::Preset;
using config::Scale;
using e2e::Emulator;

namespace {

constexpr int portNumber = 1; // the window starts on Com 1

// Answers the message boxes from a script (OK once it has run out) and keeps what was asked.
class ScriptedAnswers {
public:
    ScriptedAnswers() {
        previous_ = app::setMessageAnswerer([this](const app::MessageRequest& r) {
            asked.push_back(r);
            if (answers.empty())
                return devlink::Answer::Ok;
            const devlink::Answer a = answers.front();
            answers.pop_front();
            return a;
        });
    }
    ~ScriptedAnswers() { app::setMessageAnswerer(previous_); }
    ScriptedAnswers(const ScriptedAnswers&) = delete;
    ScriptedAnswers& operator=(const ScriptedAnswers&) = delete;

    std::deque<devlink::Answer> answers;
    std::vector<app::MessageRequest> asked;

    QString texts() const {
        QStringList out;
        for (const auto& r : asked)
            out << r.title + QStringLiteral(": ") + r.text;
        return out.join(QStringLiteral(" / "));
    }

private:
    app::MessageAnswerer previous_;
};

// The window wired to the emulator as the program does it.
struct Station {
    explicit Station(InstrumentKind kind) : window(kind, serial), link(window.port(), clock, window, portNumber) {
        app::wireOperations(window, link);
        window.show();
    }

    void click(const char* name) {
        auto* button = window.findChild<QAbstractButton*>(QLatin1String(name));
        QVERIFY2(button, name);
        QVERIFY2(button->isEnabled(), name);
        button->click();
    }
    QString text(const QString& name) {
        auto* edit = window.findChild<QLineEdit*>(name);
        return edit ? edit->text() : QStringLiteral("<no %1>").arg(name);
    }
    int listIndex(const QString& name) {
        auto* list = window.findChild<QComboBox*>(name);
        return list ? list->currentIndex() : -99;
    }
    QString cell(int range, int gain, int column) {
        auto* view = window.findChild<QTableView*>(QStringLiteral("DataGrid(%1)").arg(range - 1));
        if (!view || !view->model())
            return QStringLiteral("<no grid>");
        return view->model()->index(gain - 1, column).data().toString();
    }
    // After every operation: frames enabled again, no progress window left open.
    void checkSettled() {
        QVERIFY(!window.operationRunning());
        for (const char* frame : {"FramePort", "FrameConfigFile", "FrameTime"})
            QVERIFY2(window.findChild<QWidget*>(QLatin1String(frame))->isEnabled(), frame);
        for (QDialog* dialog : window.findChildren<QDialog*>())
            QVERIFY2(!dialog->isVisible(), qPrintable(dialog->windowTitle()));
        QVERIFY(!serial.isOpen());
    }

    devlink::QtSerialPort serial;
    app::MainWindow window;
    devlink::SystemClock clock;
    devlink::Link link;
};

// The commands in the transcript, each checked to follow a wake-up byte answered with "!".
QStringList commandsAfterWakeUps(const std::vector<e2e::TranscriptLine>& lines) {
    QStringList commands;
    bool awake = false;
    for (const auto& l : lines) {
        if (l.what == QLatin1String("<80>")) {
            if (l.outcome != QLatin1String("-> !"))
                return {QStringLiteral("unanswered wake-up: ") + l.outcome};
            awake = true;
        } else if (l.what.endsWith(QLatin1String("<CR>"))) {
            if (!awake)
                return {QStringLiteral("command without wake-up: ") + l.what};
            commands << l.what.chopped(4);
            awake = false;
        }
    }
    return commands;
}

// The clock fields show the emulator's clock, which runs on the computer's time.
void checkClock(const QString& date, const QString& time, const QDateTime& before, const QDateTime& after) {
    const QDate shown = QDate::fromString(date, QStringLiteral("dd-MM-yy"));
    const QTime at = QTime::fromString(time, QStringLiteral("hh:mm:ss"));
    QVERIFY2(shown.isValid() && at.isValid(), qPrintable(date + QLatin1Char(' ') + time));
    // Two-digit years read as 19yy by Qt.
    const QDateTime instrument(shown.addYears(100), at);
    QVERIFY2(instrument >= before.addSecs(-2) && instrument <= after.addSecs(2),
             qPrintable(instrument.toString(Qt::ISODate) + QLatin1Char(' ') + before.toString(Qt::ISODate)));
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
    s.label = QStringLiteral("GN %1").arg(gain);
    return s;
}

// Row 1 of each grid: the factory scale, never read.
const Scale factoryRows[6] = {
    {"3", "-05.000", "+05.000", "", "V"},    {"3", "-02.000", "+02.000", "", "V"},
    {"2", "-200.00", "+200.00", "", "mV"},   {"3", "-20.000", "+20.000", "", "mV"},
    {"4", "-2.0000", "+2.0000", "", "mV/V"}, {"3", "+00.000", "+20.000", "", "mA"},
};

} // namespace

class WindowEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void lumatrixConfiguration();
    void lumatrixClockAndRecording();
    void quorvaneConfiguration();
    void quorvaneClockAndAcquisition();
};

// "Get Configuration from Device" on the read-out unit: the whole scale table and the presets.
void WindowEndToEnd::lumatrixConfiguration() {
    Emulator sim(QStringLiteral("lumatrix"), portNumber);
    QVERIFY2(sim.started(), qPrintable(sim.error()));
    ScriptedAnswers answers;
    answers.answers = {devlink::Answer::Yes};
    Station station(InstrumentKind::Lumatrix);
    const config::ConfigModel& model = station.window.model();

    station.click("cmdReadConfig");

    QVERIFY2(answers.asked.size() == 1, qPrintable(answers.texts())); // the question only
    QCOMPARE(answers.asked[0].title, QStringLiteral("Getting Device Configuration"));
    QVERIFY(model.configRead);
    for (int range = 1; range <= 6; ++range) {
        QCOMPARE(model.scale(range, 1), factoryRows[range - 1]);
        for (int gain = 2; gain <= 8; ++gain) {
            const Scale expected = expectedScale(range, gain);
            QCOMPARE(model.scale(range, gain), expected);
            const Scale shown{station.cell(range, gain, 0), station.cell(range, gain, 1),
                              station.cell(range, gain, 2), station.cell(range, gain, 3),
                              station.cell(range, gain, 4)};
            QCOMPARE(shown, expected);
        }
        QCOMPARE(station.cell(range, 1, 4), factoryRows[range - 1].unit);
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
    sim.stop();
    QStringList expected;
    for (int range = 1; range <= 6; ++range)
        for (int gain = 2; gain <= 8; ++gain)
            expected << QStringLiteral("C00%1")
                            .arg(0x2000 + (range - 1) * 0x80 + (gain - 1) * 0x10, 4, 16, QLatin1Char('0'))
                            .toUpper();
    expected << QStringLiteral("B10");
    QCOMPARE(commandsAfterWakeUps(sim.transcript()), expected);
}

// "Get Date & Time" and "Get Recording rate from Device" on the read-out unit.
void WindowEndToEnd::lumatrixClockAndRecording() {
    Emulator sim(QStringLiteral("lumatrix"), portNumber);
    QVERIFY2(sim.started(), qPrintable(sim.error()));
    ScriptedAnswers answers;
    Station station(InstrumentKind::Lumatrix);
    const config::ConfigModel& model = station.window.model();

    const QDateTime before = QDateTime::currentDateTime();
    station.click("cmdGetTime");
    const QDateTime after = QDateTime::currentDateTime();
    checkClock(station.text(QStringLiteral("txtDate")), station.text(QStringLiteral("txtTime")), before,
               after);
    QCOMPARE(station.text(QStringLiteral("txtDate")), model.date);
    QCOMPARE(station.text(QStringLiteral("txtTime")), model.time);
    station.checkSettled();

    // Recording every minute (code 3) on A and B (code 2).
    station.click("cmdGetRec");
    QCOMPARE(model.recRateCode, QStringLiteral("3"));
    QCOMPARE(model.recChannelCode, QStringLiteral("2"));
    QVERIFY(!model.recordingOff);
    auto* rate = station.window.findChild<QComboBox*>(QStringLiteral("cmbLumatrixRate"));
    QCOMPARE(rate->currentIndex(), 3);
    QCOMPARE(rate->currentText(), QStringLiteral(" 1 min"));
    QVERIFY(!rate->isHidden());
    QVERIFY(station.window.findChild<QAbstractButton*>(QStringLiteral("optCHRec(2)"))->isChecked());
    QVERIFY(!station.window.findChild<QAbstractButton*>(QStringLiteral("optCHRec(0)"))->isChecked());
    station.checkSettled();

    QVERIFY2(answers.asked.empty(), qPrintable(answers.texts()));
    sim.stop();
    QCOMPARE(commandsAfterWakeUps(sim.transcript()),
             (QStringList{QStringLiteral("H"), QStringLiteral("B00")}));
}

// "Get Configuration from Device" on the flow unit: both channels' settings, the formula, presets.
void WindowEndToEnd::quorvaneConfiguration() {
    Emulator sim(QStringLiteral("quorvane"), portNumber);
    QVERIFY2(sim.started(), qPrintable(sim.error()));
    ScriptedAnswers answers;
    Station station(InstrumentKind::Quorvane);
    const config::ConfigModel& model = station.window.model();

    station.click("cmdReadConfig");

    QVERIFY2(answers.asked.empty(), qPrintable(answers.texts())); // no question, no message
    QVERIFY(model.configRead);
    const config::FlowChannel& a = model.channel(1);
    const config::FlowChannel& b = model.channel(2);
    // A/D scales: raw magnitudes with their sign, the decimal point as the list index.
    QCOMPARE(a.startScale, QStringLiteral("+0"));
    QCOMPARE(a.endScale, QStringLiteral("+1000"));
    QCOMPARE(a.dpAD, 0);
    QCOMPARE(a.label, QStringLiteral("LEVL"));
    QCOMPARE(a.unitAD, QStringLiteral(" mm "));
    QCOMPARE(b.startScale, QStringLiteral("+0"));
    QCOMPARE(b.endScale, QStringLiteral("+2500"));
    QCOMPARE(b.dpAD, 1);
    QCOMPARE(b.label, QStringLiteral("PRES"));
    QCOMPARE(b.unitAD, QStringLiteral("mbar"));
    // Flow conversion: one decimal in l/s for both, factor 1, offsets 12 (stored as "-") and 0.
    QCOMPARE(a.dp, 1);
    QCOMPARE(b.dp, 1);
    QCOMPARE(a.unit, QStringLiteral("l/s "));
    QCOMPARE(b.unit, QStringLiteral("l/s "));
    QCOMPARE(a.factor, QStringLiteral("1"));
    QCOMPARE(b.factor, QStringLiteral("1"));
    QCOMPARE(a.offset, QStringLiteral("12"));
    QCOMPARE(b.offset, QStringLiteral("0"));
    // Totalisers: factors 3600 and 1, decimal points 0 and 2, units " m3 " and " l  ".
    QCOMPARE(a.convTOT, QStringLiteral("3600"));
    QCOMPARE(b.convTOT, QStringLiteral("1"));
    QCOMPARE(a.dpTOT, 0);
    QCOMPARE(b.dpTOT, 2);
    QCOMPARE(a.unitTOT, QStringLiteral(" m3 "));
    QCOMPARE(b.unitTOT, QStringLiteral(" l  "));
    // The formula "0.5*x+12" padded with spaces to 48 characters.
    QCOMPARE(a.formula, QStringLiteral("0.5*x+12"));
    QCOMPARE(a.a, QStringLiteral("0.5*x+12"));
    QVERIFY(a.k.isEmpty() && a.t.isEmpty() && a.zero.isEmpty());
    QCOMPARE(model.text1, QStringLiteral("        \r\n        \r\n"));
    // Presets: P1 and P2 are the two inputs (range 6, slots 2 and 3), P3 and P4 unassigned.
    QCOMPARE(model.preset(1), (Preset{6, 2}));
    QCOMPARE(model.preset(2), (Preset{6, 3}));
    QVERIFY(!model.preset(3).range && !model.preset(3).gain);
    QVERIFY(!model.preset(4).range && !model.preset(4).gain);

    // The widgets.
    QCOMPARE(station.text(QStringLiteral("txtFormula")), QStringLiteral("0.5*x+12"));
    QCOMPARE(station.text(QStringLiteral("txtA(1)")), QStringLiteral("0.5*x+12"));
    QCOMPARE(station.text(QStringLiteral("txtK(1)")), QString());
    QCOMPARE(station.text(QStringLiteral("txtUnit(1)")), QStringLiteral("l/s "));
    QCOMPARE(station.text(QStringLiteral("txtUnit(2)")), QStringLiteral("l/s "));
    QCOMPARE(station.text(QStringLiteral("txtOffset(1)")), QStringLiteral("12"));
    QCOMPARE(station.text(QStringLiteral("txtFactor(2)")), QStringLiteral("1"));
    QCOMPARE(station.text(QStringLiteral("txtEndScale(1)")), QStringLiteral("+1000"));
    QCOMPARE(station.text(QStringLiteral("txtLabel(2)")), QStringLiteral("PRES"));
    QCOMPARE(station.text(QStringLiteral("txtUnitAD(2)")), QStringLiteral("mbar"));
    QCOMPARE(station.text(QStringLiteral("txtConvTOT(1)")), QStringLiteral("3600"));
    QCOMPARE(station.text(QStringLiteral("txtUnitTOT(2)")), QStringLiteral(" l  "));
    QCOMPARE(station.listIndex(QStringLiteral("cmbDP(1)")), 1);
    QCOMPARE(station.listIndex(QStringLiteral("cmbDP(2)")), 1);
    QCOMPARE(station.listIndex(QStringLiteral("cmbDPAD(2)")), 1);
    QCOMPARE(station.listIndex(QStringLiteral("cmbDPTOT(2)")), 2);
    auto* text1 = station.window.findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
    QCOMPARE(text1->toPlainText().remove(QLatin1Char('\r')), QStringLiteral("        \n        \n"));
    station.checkSettled();

    sim.stop();
    QCOMPARE(commandsAfterWakeUps(sim.transcript()),
             (QStringList{"C002290", "C0022A0", "C003FA0", "C003FB0", "C003FC0", "C003FD0", "C003FE0",
                          "C003FF0", "B10"}));
}

// "Get Date & Time" and the acquisition data's "Get" on the flow unit.
void WindowEndToEnd::quorvaneClockAndAcquisition() {
    Emulator sim(QStringLiteral("quorvane"), portNumber);
    QVERIFY2(sim.started(), qPrintable(sim.error()));
    ScriptedAnswers answers;
    Station station(InstrumentKind::Quorvane);
    const config::ConfigModel& model = station.window.model();

    const QDateTime before = QDateTime::currentDateTime();
    station.click("cmdGetTime");
    const QDateTime after = QDateTime::currentDateTime();
    checkClock(station.text(QStringLiteral("txtDate")), station.text(QStringLiteral("txtTime")), before,
               after);
    station.checkSettled();

    // Rate 30 s (code 2), next block 301, totalisers 123456 and 12345.
    station.click("cmdGetRate");
    QCOMPARE(model.rateIndex, 2);
    QCOMPARE(station.listIndex(QStringLiteral("cmbRate")), 2);
    QCOMPARE(model.nextBlock, 301);
    QCOMPARE(station.text(QStringLiteral("txtNextBlock")), QStringLiteral("0301"));
    QCOMPARE(station.text(QStringLiteral("txtTotalizer(1)")), QStringLiteral("123456"));
    QCOMPARE(station.text(QStringLiteral("txtTotalizer(2)")), QStringLiteral("012345"));
    station.checkSettled();

    QVERIFY2(answers.asked.empty(), qPrintable(answers.texts()));
    sim.stop();
    QCOMPARE(commandsAfterWakeUps(sim.transcript()),
             (QStringList{QStringLiteral("H"), QStringLiteral("I"), QStringLiteral("B00"),
                          QStringLiteral("B30")}));
}

// The link as the program builds it, on the window's port: the clock query must find the
// instrument awake.
QTEST_MAIN(WindowEndToEnd)
#include "e2e_window_test.moc"
