#pragma once

// The program as main() builds it (app::Session) on the real serial port and clock, against the
// instrument emulator on a pseudo-terminal; helpers to click, read the widgets and check the
// commands the emulator took.

#include "Emulator.h"
#include "ScriptedAnswers.h"
#include "app/MainWindow.h"
#include "app/Session.h"
#include "config/ConfigModel.h"
#include "link/Clock.h"
#include "link/QtSerialPort.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

namespace e2e {

inline QString kindName(config::InstrumentKind kind) {
    return kind == config::InstrumentKind::Lumatrix ? QStringLiteral("lumatrix") : QStringLiteral("quorvane");
}

// The commands in a transcript, each checked to follow a wake-up byte answered with "!".
inline QStringList commandsOf(const std::vector<TranscriptLine>& transcript) {
    QStringList commands;
    bool awake = false;
    for (const auto& l : transcript) {
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

struct Station {
    // The emulator is on Com `portNumber`; the window starts on Com 1 like the program. `simArguments`
    // go to the emulator's command line as they are.
    explicit Station(config::InstrumentKind kind, const QString& faults = {}, int portNumber = 1,
                     const QStringList& simArguments = {})
        : sim(kindName(kind), portNumber, faults, simArguments), session(kind, serial, clock),
          window(session.window()) {
        window.show();
    }

    // The commands the emulator took (stops it).
    QStringList commands() {
        sim.stop();
        return commandsOf(sim.transcript());
    }

    QWidget* widget(const QString& name) { return window.findChild<QWidget*>(name); }
    void click(const QString& name) {
        auto* button = window.findChild<QAbstractButton*>(name);
        QVERIFY2(button, qPrintable(name));
        QVERIFY2(button->isEnabled(), qPrintable(name));
        button->click();
    }
    QString text(const QString& name) {
        auto* edit = window.findChild<QLineEdit*>(name);
        return edit ? edit->text() : QStringLiteral("<no %1>").arg(name);
    }
    void setText(const QString& name, const QString& value) {
        auto* edit = window.findChild<QLineEdit*>(name);
        QVERIFY2(edit, qPrintable(name));
        edit->setText(value);
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
    config::Scale row(int range, int gain) {
        return {cell(range, gain, 0), cell(range, gain, 1), cell(range, gain, 2), cell(range, gain, 3),
                cell(range, gain, 4)};
    }
    QString cell(int range, int gain, int column) {
        auto* view = window.findChild<QTableView*>(QStringLiteral("DataGrid(%1)").arg(range - 1));
        if (!view || !view->model())
            return QStringLiteral("<no grid>");
        return view->model()->index(gain - 1, column).data().toString();
    }
    // After every operation: frames enabled again, no progress window left open, port closed.
    void checkSettled() {
        QVERIFY(!window.operationRunning());
        for (const char* frame : {"FramePort", "FrameConfigFile", "FrameTime"})
            QVERIFY2(window.findChild<QWidget*>(QLatin1String(frame))->isEnabled(), frame);
        for (const char* progress : {"frmSettingProgress", "frmProgress", "frmSetType"})
            for (QDialog* dialog : window.findChildren<QDialog*>(QLatin1String(progress)))
                QVERIFY2(!dialog->isVisible(), progress);
        QVERIFY(!serial.isOpen());
    }

    Emulator sim;
    testsupport::ScriptedAnswers answers;
    devlink::QtSerialPort serial;
    devlink::SystemClock clock;
    app::Session session;
    app::MainWindow& window;
};

} // namespace e2e
