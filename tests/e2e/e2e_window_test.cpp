// The main window end to end: its buttons clicked against the instrument emulator on a
// pseudo-terminal, through the real serial port and clock, landing in the model and the widgets.
//
// The expected values are the emulator's out-of-the-box contents (see sim/README.md) as the window
// shows them. The read-out unit's full read runs its two-tick pauses in real time (about a minute);
// it is its own CTest entry.

#include "../config/Print.h"
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

using config::InstrumentKind;
using config::Preset;
using config::Scale;
using e2e::Emulator;

namespace {

constexpr int portNumber = 1; // the window starts on Com 1

// Answers the message boxes from a script (OK once it has run out) and keeps what was asked.
struct ScriptedAnswers {
    ScriptedAnswers() {
        previous = app::setMessageAnswerer([this](const app::MessageRequest& r) {
            asked.push_back(r);
            const devlink::Answer a = answers.empty() ? devlink::Answer::Ok : answers.front();
            if (!answers.empty())
                answers.pop_front();
            return a;
        });
    }
    ~ScriptedAnswers() { app::setMessageAnswerer(previous); }
    ScriptedAnswers(const ScriptedAnswers&) = delete;
    ScriptedAnswers& operator=(const ScriptedAnswers&) = delete;

    std::deque<devlink::Answer> answers;
    std::vector<app::MessageRequest> asked;
    app::MessageAnswerer previous;
};

// What the message boxes asked, for failure messages.
QString asked(const ScriptedAnswers& answers) {
    QStringList out;
    for (const auto& r : answers.asked)
        out << r.title + QStringLiteral(": ") + r.text;
    return out.join(QStringLiteral(" / "));
}

// The emulator, and the window wired to it as the program does it.
struct Station {
    explicit Station(InstrumentKind kind)
        : sim(kind == InstrumentKind::Lumatrix ? QStringLiteral("lumatrix") : QStringLiteral("quorvane"),
              portNumber),
          window(kind, serial), link(window.port(), clock, window, portNumber) {
        app::wireOperations(window, link);
        window.show();
    }

    // The commands the emulator took, each checked to follow a wake-up byte answered with "!".
    QStringList commands() {
        sim.stop();
        QStringList commands;
        bool awake = false;
        for (const auto& l : sim.transcript()) {
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

    // "Get Date & Time": the fields show the emulator's clock, which runs on the computer's time.
    void checkClock() {
        const QDateTime before = QDateTime::currentDateTime();
        click("cmdGetTime");
        const QDateTime after = QDateTime::currentDateTime();
        const QDate date = QDate::fromString(text(QStringLiteral("txtDate")), QStringLiteral("dd-MM-yy"));
        const QTime time = QTime::fromString(text(QStringLiteral("txtTime")), QStringLiteral("hh:mm:ss"));
        QVERIFY2(date.isValid() && time.isValid(),
                 qPrintable(window.model().date + ' ' + window.model().time));
        const QDateTime instrument(date.addYears(100), time); // two-digit years read as 19yy
        QVERIFY2(instrument >= before.addSecs(-2) && instrument <= after.addSecs(2),
                 qPrintable(instrument.toString(Qt::ISODate) + ' ' + before.toString(Qt::ISODate)));
        checkSettled();
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
    // A flow channel as its widgets show it.
    config::FlowChannel channel(int i) {
        const auto t = [&](const char* name) { return text(QStringLiteral("%1(%2)").arg(name).arg(i)); };
        const auto l = [&](const char* name) { return listIndex(QStringLiteral("%1(%2)").arg(name).arg(i)); };
        return {t("txtStartScale"), t("txtEndScale"), l("cmbDPAD"),
                t("txtLabel"),      t("txtUnitAD"),   text(i == 1 ? "txtFormula" : "txtFormula2"),
                t("txtFactor"),     t("txtOffset"),   l("cmbDP"),
                t("txtUnit"),       t("txtConvTOT"),  l("cmbDPTOT"),
                t("txtUnitTOT"),    t("txtA"),        t("txtK"),
                t("txtT"),          t("txtZERO")};
    }
    Scale row(int range, int gain) {
        return {cell(range, gain, 0), cell(range, gain, 1), cell(range, gain, 2), cell(range, gain, 3),
                cell(range, gain, 4)};
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

    Emulator sim;
    ScriptedAnswers answers;
    devlink::QtSerialPort serial;
    app::MainWindow window;
    devlink::SystemClock clock;
    devlink::Link link;
};

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
};

// "Get Configuration from Device" on the read-out unit: the whole scale table and the presets.
void WindowEndToEnd::lumatrixConfiguration() {
    Station station(InstrumentKind::Lumatrix);
    QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
    ScriptedAnswers& answers = station.answers;
    answers.answers = {devlink::Answer::Yes};
    const config::ConfigModel& model = station.window.model();

    station.click("cmdReadConfig");

    QVERIFY2(answers.asked.size() == 1, qPrintable(asked(answers))); // the question only
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
    const ScriptedAnswers& answers = station.answers;

    station.checkClock();

    // Recording every minute (code 3) on A and B (code 2).
    station.click("cmdGetRec");
    auto* rate = station.window.findChild<QComboBox*>(QStringLiteral("cmbLumatrixRate"));
    QCOMPARE(rate->currentIndex(), 3);
    QVERIFY(!rate->isHidden());
    QVERIFY(station.window.findChild<QAbstractButton*>(QStringLiteral("optCHRec(2)"))->isChecked());
    QVERIFY(!station.window.findChild<QAbstractButton*>(QStringLiteral("optCHRec(0)"))->isChecked());
    station.checkSettled();

    QVERIFY2(answers.asked.empty(), qPrintable(asked(answers)));
    QCOMPARE(station.commands(), (QStringList{"H", "B00"}));
}

// "Get Configuration from Device" on the flow unit: both channels' settings, the formula, presets.
void WindowEndToEnd::quorvaneConfiguration() {
    Station station(InstrumentKind::Quorvane);
    QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
    const ScriptedAnswers& answers = station.answers;
    const config::ConfigModel& model = station.window.model();

    station.click("cmdReadConfig");

    QVERIFY2(answers.asked.empty(), qPrintable(asked(answers))); // no question, no message
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
    const ScriptedAnswers& answers = station.answers;
    const config::ConfigModel& model = station.window.model();

    station.checkClock();

    // Rate 30 s (code 2), next block 301, totalisers 123456 and 12345.
    station.click("cmdGetRate");
    QCOMPARE(model.rateIndex, 2);
    QCOMPARE(station.listIndex(QStringLiteral("cmbRate")), 2);
    QCOMPARE(model.nextBlock, 301);
    QCOMPARE(station.text(QStringLiteral("txtNextBlock")), QStringLiteral("0301"));
    QCOMPARE(station.text(QStringLiteral("txtTotalizer(1)")), QStringLiteral("123456"));
    QCOMPARE(station.text(QStringLiteral("txtTotalizer(2)")), QStringLiteral("012345"));
    station.checkSettled();

    QVERIFY2(answers.asked.empty(), qPrintable(asked(answers)));
    QCOMPARE(station.commands(), (QStringList{"H", "I", "B00", "B30"}));
}

// The link as the program builds it, on the window's port: the clock query must find the
// instrument awake.
QTEST_MAIN(WindowEndToEnd)
#include "e2e_window_test.moc"
