#include "Fakes.h"
#include "app/AboutBox.h"
#include "app/MainWindow.h"
#include "app/StartWindows.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>

using app::Command;
using app::MainWindow;
using config::InstrumentKind;

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startWindows();
    void layoutFollowsTheInstrument_data();
    void layoutFollowsTheInstrument();
    void everyNamedControlIsThere();
    void scaleGrids();
    void startUpResetLeavesListsEmpty();
    void commandsStayOffUntilWired();
    void windowAndModelStayInStep();
    void recordingOffHidesTheRateList();
    void lockingCoversEverythingThatStartsTraffic();
    void noAtTheExitQuestionChangesNothing();
    void yesAtTheExitQuestionDuringAnOperation();
    void aboutCode_data();
    void aboutCode();
    void angleMenuChecks();
    void progressWindows();
};

namespace {

template <typename T = QWidget> T* child(QObject& parent, const QString& name) {
    T* w = parent.findChild<T*>(name);
    if (!w)
        qWarning("missing %s", qPrintable(name));
    return w;
}

QAction* action(MainWindow& w, const char* name) {
    return w.findChild<QAction*>(QLatin1String(name));
}

} // namespace

void MainWindowTest::startWindows() {
    app::Preloader splash;
    auto* timer = child<QTimer>(splash, "Timer1");
    QCOMPARE(timer->interval(), 1200);
    QVERIFY(timer->isSingleShot() && timer->isActive());
    QCOMPARE(child<QLabel>(splash, "Label1")->text(), QString("Loading Components ..."));
    QCOMPARE(child<QLabel>(splash, "Label2")->text(), QString(MANAGER_TEST_VERSION));
    QVERIFY(!child<QLabel>(splash, "Label3")->text().isEmpty());

    app::DeviceChoice choice;
    QCOMPARE(choice.windowTitle(), QString("Select the Device to communicate with..."));
    QSignalSpy chosen(&choice, &app::DeviceChoice::chosen);
    QVERIFY(child<QRadioButton>(choice, "optLogger(0)")->isChecked());
    child<QPushButton>(choice, "OKButton")->click();
    child<QRadioButton>(choice, "optLogger(1)")->click();
    child<QPushButton>(choice, "OKButton")->click();
    QCOMPARE(chosen.count(), 2);
    QCOMPARE(chosen.at(0).at(0).value<InstrumentKind>(), InstrumentKind::Lumatrix);
    QCOMPARE(chosen.at(1).at(0).value<InstrumentKind>(), InstrumentKind::Quorvane);
}

void MainWindowTest::layoutFollowsTheInstrument_data() {
    QTest::addColumn<InstrumentKind>("kind");
    QTest::newRow("Lumatrix") << InstrumentKind::Lumatrix;
    QTest::newRow("Quorvane") << InstrumentKind::Quorvane;
}

void MainWindowTest::layoutFollowsTheInstrument() {
    QFETCH(InstrumentKind, kind);
    const bool flow = kind == InstrumentKind::Quorvane;
    testing::FakePort port;
    MainWindow w(kind, port);
    // Every command has an operation, so what stays disabled is the instrument's doing.
    for (int c = 0; c <= static_cast<int>(Command::Service); ++c)
        w.setCommandHandler(static_cast<Command>(c), [] {});
    w.show();

    QCOMPARE(w.windowTitle(), flow ? QString("Quorvane Manager") : QString("Lumatrix Manager"));
    QCOMPARE(action(w, "mnuAngle")->isVisible(), flow);
    QCOMPARE(action(w, "mnuData")->isVisible(), !flow);
    QVERIFY(!action(w, "mnuService")->isVisible());
    QCOMPARE(child(w, "FrameQuorvane")->isVisible(), flow);
    QCOMPARE(child(w, "ScaleTab")->isVisible(), !flow);
    QCOMPARE(child(w, "cmdSetSingle")->isVisible(), !flow);
    QCOMPARE(child(w, "cmdSetSingle")->isEnabled(), !flow);
    QCOMPARE(child(w, "cmdSetLinear")->isVisible(), flow);
    QCOMPARE(child(w, "cmdSetLinear")->isEnabled(), flow);
    QVERIFY(!child(w, "FrameVariables")->isVisible());
    for (const char* shown : {"FramePort", "FrameConfigFile", "FrameSetInto", "FrameFile", "FrameTime",
                              "FrameRecording", "cmdSetAll", "cmdReadConfig"})
        QVERIFY2(child(w, shown)->isVisible(), shown);
}

void MainWindowTest::everyNamedControlIsThere() {
    testing::FakePort port;
    MainWindow w(InstrumentKind::Quorvane, port);
    const QStringList widgets = {"FramePort",
                                 "comport(0)",
                                 "comport(1)",
                                 "comport(2)",
                                 "comport(3)",
                                 "comport(4)",
                                 "cmbPort",
                                 "FrameConfigFile",
                                 "cmdReadConfig",
                                 "cmdDefault",
                                 "cmdPx",
                                 "cmdClose",
                                 "FrameSetInto",
                                 "cmdSetSingle",
                                 "cmdSetAll",
                                 "cmdSetLinear",
                                 "FrameFile",
                                 "cmdLoad",
                                 "cmdSave",
                                 "FrameTime",
                                 "txtDate",
                                 "txtTime",
                                 "cmdGetTime",
                                 "cmdSysTime",
                                 "cmdSetTime",
                                 "FrameRecording",
                                 "cmbLumatrixRate",
                                 "optCHRec(0)",
                                 "optCHRec(2)",
                                 "lblNone",
                                 "cmdGetRec",
                                 "cmdSetRec",
                                 "ScaleTab",
                                 "DataGrid(0)",
                                 "DataGrid(5)",
                                 "FrameQuorvane",
                                 "SSTab1",
                                 "FrameRate",
                                 "cmbRate",
                                 "cmdGetRate",
                                 "cmdSetRate",
                                 "FrameBlock",
                                 "CheckOverwrite",
                                 "Label7",
                                 "txtNextBlock",
                                 "cmdBlockReset",
                                 "FrameTotalizer",
                                 "txtTotalizer(1)",
                                 "txtTotalizer(2)",
                                 "cmdResetTOT(1)",
                                 "cmdResetTOT(2)",
                                 "cmdDownload",
                                 "FrameVariables",
                                 "VarGrid",
                                 "cmdCalc",
                                 "cmdCloseFrame",
                                 "txtFormula",
                                 "txtFormula2",
                                 "Text1"};
    for (const QString& name : widgets)
        QVERIFY2(w.findChild<QWidget*>(name), qPrintable(name));
    for (int i = 1; i <= 2; ++i)
        for (const char* name : {"txtStartScale", "txtEndScale", "cmbDPAD", "txtLabel", "txtUnitAD",
                                 "txtFactor", "txtOffset", "cmbDP", "txtUnit", "txtConvTOT", "cmbDPTOT",
                                 "txtUnitTOT", "txtA", "txtK", "txtT", "txtZERO"}) {
            const QString n = QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
            QVERIFY2(w.findChild<QWidget*>(n), qPrintable(n));
        }
    for (const char* name :
         {"mnuData", "mnuDataTransfer", "mnuAngle", "mnuDegrees", "mnuRadians", "mnuService", "mnuHelp",
          "mnuContents", "mnuItaliano", "mnuEnglish", "mnuAbout", "mnuExit"})
        QVERIFY2(action(w, name), name);
    QCOMPARE(child<QAbstractButton>(w, "cmdSetAll")->text(), QString("Set all scales into Lumatrix"));
    QCOMPARE(child<QGroupBox>(w, "FrameFile")->title(), QString("Setup File "));
    QCOMPARE(child<QGroupBox>(w, "FrameRecording")->title(), QString(" Set recording rate "));
    auto* tabs = child<QTabWidget>(w, "SSTab1");
    QCOMPARE(tabs->tabText(0), QString("Channel A"));
    QCOMPARE(tabs->tabText(2), QString(" Quorvane Settings "));
    auto* rate = child<QComboBox>(w, "cmbRate");
    QCOMPARE(rate->count(), 14);
    QCOMPARE(rate->itemText(2), QString(" 30 sec "));
    QCOMPARE(child<QComboBox>(w, "cmbLumatrixRate")->itemText(8), QString(" 1 hour"));
}

void MainWindowTest::scaleGrids() {
    testing::FakePort port;
    MainWindow w(InstrumentKind::Lumatrix, port);
    auto* scaleTab = child<QTabWidget>(w, "ScaleTab");
    QCOMPARE(scaleTab->count(), 6);
    QCOMPARE(scaleTab->tabText(0), QString("Scale 5V"));
    QCOMPARE(scaleTab->tabText(4), QString("Scale 2mV/V"));
    QCOMPARE(scaleTab->tabText(5), QString("Scale 4-20mA"));

    const int twip1200 = qRound(1200 / 1440.0 * w.logicalDpiX());
    for (int g = 0; g < 6; ++g) {
        auto* view = child<QTableView>(w, QStringLiteral("DataGrid(%1)").arg(g));
        QAbstractItemModel* m = view->model();
        QCOMPARE(m->rowCount(), 8);
        QCOMPARE(m->columnCount(), 5);
        QCOMPARE(m->headerData(0, Qt::Horizontal).toString(), QString("Decimal Point"));
        QCOMPARE(m->headerData(4, Qt::Horizontal).toString(), QString("Unit"));
        QCOMPARE(m->headerData(0, Qt::Vertical).toString(), QString("Gain 1"));
        QCOMPARE(m->headerData(7, Qt::Vertical).toString(), QString("Gain 8"));
        QCOMPARE(view->columnWidth(0), twip1200);
        QCOMPARE(view->columnWidth(1), qRound(2000 / 1440.0 * w.logicalDpiX()));
        QCOMPARE(view->verticalHeader()->defaultSectionSize(), qRound(300 / 1440.0 * w.logicalDpiX()));
        // The factory row: its values, the button face behind it, and no editing.
        const config::Scale factory = config::factoryScale(g + 1);
        QCOMPARE(m->index(0, 1).data().toString(), factory.start);
        QCOMPARE(m->index(0, 4).data().toString(), factory.unit);
        QVERIFY(m->index(0, 2).data(Qt::BackgroundRole).isValid());
        QVERIFY(!m->index(1, 2).data(Qt::BackgroundRole).isValid());
        QVERIFY(!(m->flags(m->index(0, 3)) & Qt::ItemIsEditable));
        QVERIFY(!m->setData(m->index(0, 3), "HACK"));
        QVERIFY(m->flags(m->index(1, 3)) & Qt::ItemIsEditable);
    }
    // An edit goes into the model at its range and gain.
    QAbstractItemModel* m3 = child<QTableView>(w, "DataGrid(2)")->model();
    QVERIFY(m3->setData(m3->index(4, 3), "PRES"));
    QCOMPARE(w.model().scale(3, 5).label, QString("PRES"));
    QCOMPARE(child<QLabel>(w, "lblHint(1)")->text(), QString("-99999 ... +99999"));
    QCOMPARE(child<QLabel>(w, "lblHint(3)")->text(), QString("XXXX"));
}

void MainWindowTest::startUpResetLeavesListsEmpty() {
    testing::FakePort port;
    MainWindow w(InstrumentKind::Quorvane, port);
    for (int i = 1; i <= 2; ++i)
        for (const char* name : {"cmbDP", "cmbDPAD", "cmbDPTOT"}) {
            auto* list = child<QComboBox>(w, QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i));
            QCOMPARE(list->count(), 6);
            QCOMPARE(list->itemText(5), QString("5"));
            QCOMPARE(list->currentIndex(), -1);
        }
    QCOMPARE(child<QComboBox>(w, "cmbRate")->currentIndex(), -1);
    QVERIFY(child<QLineEdit>(w, "txtNextBlock")->text().isEmpty());
    QCOMPARE(w.model().nextBlock, 9999);
    QVERIFY(!w.model().serviceUnlocked);
}

void MainWindowTest::commandsStayOffUntilWired() {
    testing::FakePort port;
    MainWindow w(InstrumentKind::Lumatrix, port);
    auto* read = child<QPushButton>(w, "cmdReadConfig");
    QVERIFY(!read->isEnabled());
    QVERIFY(!action(w, "mnuDataTransfer")->isEnabled());
    int runs = 0;
    w.setCommandHandler(Command::ReadConfig, [&] { ++runs; });
    QVERIFY(read->isEnabled());
    read->click();
    QCOMPARE(runs, 1);
    QCOMPARE(w.commandControl(Command::ReadConfig), read);
    // Buttons that only act on the window itself work from the start.
    QVERIFY(child(w, "cmdClose")->isEnabled());
    QVERIFY(child(w, "cmdCloseFrame")->isEnabled());
}

void MainWindowTest::windowAndModelStayInStep() {
    testing::FakePort port;
    MainWindow w(InstrumentKind::Quorvane, port);
    auto* start = child<QLineEdit>(w, "txtStartScale(2)");
    QTest::keyClicks(start, "+01.000");
    QCOMPARE(w.model().channel(2).startScale, QString("+01.000"));
    child<QComboBox>(w, "cmbDPTOT(1)")->setCurrentIndex(3);
    QCOMPARE(w.model().channel(1).dpTOT, 3);

    // A read operation fills the model and tells the window once.
    w.model().channel(1).formula = "x*2";
    w.model().channel(2).dp = 4;
    w.model().nextBlockText = "0012";
    w.model().totalizer[1] = "000123";
    w.model().notifyChanged();
    QCOMPARE(child<QLineEdit>(w, "txtFormula")->text(), QString("x*2"));
    QCOMPARE(child<QComboBox>(w, "cmbDP(2)")->currentIndex(), 4);
    QCOMPARE(child<QLineEdit>(w, "txtNextBlock")->text(), QString("0012"));
    QCOMPARE(child<QLineEdit>(w, "txtTotalizer(2)")->text(), QString("000123"));

    w.model().clearConfigFields();
    w.model().notifyChanged();
    QVERIFY(child<QLineEdit>(w, "txtStartScale(2)")->text().isEmpty());
    QCOMPARE(child<QComboBox>(w, "cmbDPTOT(1)")->currentIndex(), -1);
}

void MainWindowTest::recordingOffHidesTheRateList() {
    testing::FakePort port;
    MainWindow w(InstrumentKind::Lumatrix, port);
    w.setCommandHandler(Command::SetRec, [] {});
    w.show();
    auto* rate = child<QComboBox>(w, "cmbLumatrixRate");
    auto* a = child<QRadioButton>(w, "optCHRec(0)");
    auto* ab = child<QRadioButton>(w, "optCHRec(2)");

    w.model().lumatrixRateIndex = 12;
    w.model().recChannel = 2;
    w.model().notifyChanged();
    QCOMPARE(rate->currentIndex(), 12);
    QVERIFY(ab->isChecked() && !a->isChecked());
    QVERIFY(child(w, "cmdSetRec")->isEnabled());
    QVERIFY(!child(w, "lblNone")->isVisible());

    w.model().recordingOff = true;
    w.model().notifyChanged();
    QVERIFY(!rate->isVisible() && !rate->isEnabled());
    QCOMPARE(rate->currentIndex(), -1);
    QVERIFY(!a->isChecked() && !ab->isChecked());
    QVERIFY(!a->isEnabled() && !ab->isEnabled());
    QVERIFY(!child(w, "cmdSetRec")->isEnabled());
    QVERIFY(child(w, "lblNone")->isVisible());
    QCOMPARE(child<QLabel>(w, "lblNone")->text(), QString("No Recording"));

    w.model().recordingOff = false;
    w.model().recChannel = 0;
    w.model().notifyChanged();
    QVERIFY(rate->isVisible());
    QVERIFY(a->isChecked());
    ab->click();
    QCOMPARE(w.model().recChannel, 2);
}

void MainWindowTest::lockingCoversEverythingThatStartsTraffic() {
    testing::FakePort port;
    MainWindow w(InstrumentKind::Lumatrix, port);
    w.setCommandHandler(Command::DataTransfer, [] {});
    w.setCommandHandler(Command::Service, [] {});
    QPushButton secondary("Send");
    w.registerTrafficControl(&secondary);
    QPushButton offByItsWindow("Get");
    offByItsWindow.setEnabled(false);
    w.registerTrafficControl(&offByItsWindow);
    QAction secondaryAction("Transfer");
    w.registerTrafficControl(&secondaryAction);
    const QStringList frames = {"FramePort",       "FrameTime",     "FrameSetInto",  "FrameFile",
                                "FrameConfigFile", "FrameQuorvane", "FrameRecording"};

    w.runLocked([&] {
        for (const QString& f : frames)
            QVERIFY2(!child(w, f)->isEnabled(), qPrintable(f));
        QVERIFY(!action(w, "mnuDataTransfer")->isEnabled());
        QVERIFY(!action(w, "mnuService")->isEnabled());
        QVERIFY(!secondary.isEnabled());
        QVERIFY(!secondaryAction.isEnabled());
        QVERIFY(w.operationRunning());
        // A window opened during the operation comes up locked as well.
        QPushButton late("Get");
        w.registerTrafficControl(&late);
        QVERIFY(!late.isEnabled());
        // Nested locks unlock only at the outermost end.
        w.lockPanels();
        w.unlockPanels();
        QVERIFY(!child(w, "FramePort")->isEnabled());
    });
    for (const QString& f : frames)
        QVERIFY2(child(w, f)->isEnabled(), qPrintable(f));
    QVERIFY(action(w, "mnuDataTransfer")->isEnabled());
    QVERIFY(secondary.isEnabled());
    QVERIFY(secondaryAction.isEnabled());
    QVERIFY(!offByItsWindow.isEnabled());
    // Controls with no operation yet stay off after the unlock.
    QVERIFY(!child(w, "cmdReadConfig")->isEnabled());
    QVERIFY(!w.operationRunning());

    // An operation that throws still unlocks.
    try {
        w.runLocked([] { throw std::runtime_error("x"); });
    } catch (const std::runtime_error&) {
    }
    QVERIFY(child(w, "FramePort")->isEnabled());
}

void MainWindowTest::noAtTheExitQuestionChangesNothing() {
    testing::FakePort port;
    testing::ScriptedAnswers answers;
    MainWindow w(InstrumentKind::Quorvane, port);
    QSignalSpy exit(&w, &MainWindow::exitConfirmed);
    w.show();
    w.model().channel(1).label = "KEEP";
    w.model().notifyChanged();
    const int portBefore = w.model().portNumber;

    answers.answers = {devlink::Answer::No, devlink::Answer::No};
    QVERIFY(!w.close());
    child<QPushButton>(w, "cmdClose")->click();
    QCOMPARE(answers.asked.size(), size_t(2));
    const app::MessageRequest& q = answers.asked[0];
    QCOMPARE(q.text, QString(" ATTENTION: The program will be terminate "));
    QCOMPARE(q.title, QString(" Exit ? "));
    QCOMPARE(q.icon, devlink::Icon::Critical);
    QCOMPARE(q.buttons, devlink::Buttons::YesNo);
    QCOMPARE(q.defaultButton, devlink::Answer::No);
    QVERIFY(w.isVisible());
    QCOMPARE(exit.count(), 0);
    QCOMPARE(w.model().channel(1).label, QString("KEEP"));
    QCOMPARE(child<QLineEdit>(w, "txtLabel(1)")->text(), QString("KEEP"));
    QCOMPARE(w.model().portNumber, portBefore);
    QVERIFY(!port.isOpen());
    QVERIFY(port.opened.empty());

    answers.answers = {devlink::Answer::Yes};
    QVERIFY(w.close());
    QCOMPARE(exit.count(), 1);
}

void MainWindowTest::yesAtTheExitQuestionDuringAnOperation() {
    testing::FakePort port;
    testing::ScriptedAnswers answers;
    MainWindow w(InstrumentKind::Lumatrix, port);
    QSignalSpy exit(&w, &MainWindow::exitConfirmed);
    w.show();

    w.lockPanels();
    QCOMPARE(w.port().open(1), devlink::OpenStatus::Opened); // the operation is mid-exchange
    answers.answers = {devlink::Answer::Yes};
    QVERIFY(!w.close()); // the operation is still on the stack: the window must stay
    QVERIFY(!port.isOpen());
    QVERIFY(w.exitRequested());
    // The operation's next exchange cannot reach the instrument any more.
    const size_t opensBefore = port.opened.size();
    QCOMPARE(w.port().open(1), devlink::OpenStatus::Failed);
    QVERIFY(!w.port().isOpen());
    QCOMPARE(port.opened.size(), opensBefore);
    // What the unwinding operation still wants to say is not shown.
    QCOMPARE(w.message("Lumatrix not connected!", "Connection error", devlink::Icon::Exclamation,
                       devlink::Buttons::Ok),
             devlink::Answer::Ok);
    QCOMPARE(answers.asked.size(), size_t(1));
    QCOMPARE(exit.count(), 0);

    w.unlockPanels();
    QTRY_COMPARE(exit.count(), 1);
    QVERIFY(!w.isVisible());
    QCOMPARE(answers.asked.size(), size_t(1)); // not asked a second time
}

void MainWindowTest::aboutCode_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("reveals");
    QTest::newRow("exact") << "brestol" << true;
    QTest::newRow("capital letter") << "Brestol" << false;
    QTest::newRow("trailing space") << "brestol " << false;
    QTest::newRow("leading space") << " brestol" << false;
    QTest::newRow("prefix") << "brest" << false;
}

void MainWindowTest::aboutCode() {
    QFETCH(QString, code);
    QFETCH(bool, reveals);
    testing::FakePort port;
    MainWindow w(InstrumentKind::Lumatrix, port);
    action(w, "mnuAbout")->trigger();
    auto* about = child<QDialog>(w, "About");
    QVERIFY(about && about->isVisible());
    QCOMPARE(about->windowTitle(), QString("About..."));
    QCOMPARE(child<QLabel>(*about, "Label11")->text(), QString(MANAGER_TEST_VERSION));
    QVERIFY(!w.serviceVisible());

    QTest::keyClicks(child(*about, "txtPassword"), code);
    if (reveals) {
        // One tick of the check, with room for a loaded machine.
        QTRY_VERIFY_WITH_TIMEOUT(w.serviceVisible(), 1000);
        QVERIFY(w.model().serviceUnlocked);
        // Once revealed it stays, even after the box is gone.
        about->close();
        QTest::qWait(2 * app::AboutBox::CheckIntervalMs);
        QVERIFY(w.serviceVisible());
    } else {
        QTest::qWait(3 * app::AboutBox::CheckIntervalMs);
        QVERIFY(!w.serviceVisible());
        QVERIFY(!w.model().serviceUnlocked);
    }
}

void MainWindowTest::angleMenuChecks() {
    testing::FakePort port;
    MainWindow w(InstrumentKind::Quorvane, port);
    QSignalSpy spy(&w, &MainWindow::angleUnitChanged);
    QVERIFY(w.degreesChecked());
    action(w, "mnuRadians")->trigger();
    QVERIFY(!w.degreesChecked());
    QVERIFY(action(w, "mnuRadians")->isChecked());
    action(w, "mnuRadians")->trigger(); // choosing it again keeps it chosen
    QVERIFY(action(w, "mnuRadians")->isChecked());
    action(w, "mnuDegrees")->trigger();
    QVERIFY(w.degreesChecked() && !action(w, "mnuRadians")->isChecked());
    QCOMPARE(spy.count(), 3);
    QCOMPARE(spy.last().at(0).toBool(), true);
}

void MainWindowTest::progressWindows() {
    testing::FakePort port;
    MainWindow w(InstrumentKind::Lumatrix, port);
    using devlink::ProgressWindow;
    w.closeProgress(ProgressWindow::SettingProgress); // not showing: nothing happens
    w.setProgressRange(ProgressWindow::SettingProgress, 0, 8);
    w.showProgress(ProgressWindow::SettingProgress, "Setting Scale 6...");
    w.setProgressLabel(ProgressWindow::SettingProgress, "Range 2");
    w.setProgressValue(ProgressWindow::SettingProgress, 3);
    auto* dialog = child<QDialog>(w, "frmSettingProgress");
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    QCOMPARE(dialog->windowTitle(), QString("Setting Scale 6..."));
    QCOMPARE(child<QLabel>(*dialog, "lblProgress")->text(), QString("Range 2"));
    auto* bar = child<QProgressBar>(*dialog, "ProgressBar");
    QCOMPARE(bar->maximum(), 8);
    QCOMPARE(bar->value(), 3);
    w.closeProgress(ProgressWindow::SettingProgress);
    QVERIFY(!dialog->isVisible());

    w.showProgress(ProgressWindow::Progress, "Reading");
    QVERIFY(child<QProgressBar>(w, "ProgressBar1"));
    w.showProgress(ProgressWindow::SetType, "Setting Lumatrix type...");
    auto* wait = child<QDialog>(w, "frmSetType");
    QVERIFY(wait->isVisible());
    QVERIFY(wait->findChild<QLabel*>()->text().startsWith("Please wait"));
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
