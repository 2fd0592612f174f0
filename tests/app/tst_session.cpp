// The program as main() composes it, over a scripted port: a subsystem's secondary window locks with
// the main window, and its own operation locks the main window's frames.
#include "FakePort.h"
#include "ScriptedAnswers.h"
#include "VirtualClock.h"
#include "app/MainWindow.h"
#include "app/Session.h"
#include "link/Link.h"

#include <QDialog>
#include <QPushButton>
#include <QtTest>

class SessionTest : public QObject {
    Q_OBJECT
private slots:
    void secondaryWindowsLockTogetherWithTheMainWindow();
};

void SessionTest::secondaryWindowsLockTogetherWithTheMainWindow() {
    testsupport::VirtualClock clock;
    testsupport::FakePort port(clock);
    testsupport::ScriptedAnswers answers;
    app::Session session(config::InstrumentKind::Lumatrix, port, clock);
    app::Workbench& bench = session;
    QWidget& main = bench.mainWindow();
    auto* framePort = main.findChild<QWidget*>(QStringLiteral("FramePort"));

    // What a subsystem does from its own folder: a window owned by the main window, its traffic
    // control registered, its operation run between the link's lock and unlock.
    auto* window = new QDialog(&main);
    window->setObjectName(QStringLiteral("frmSecondary"));
    auto* send = new QPushButton(window);
    send->setObjectName(QStringLiteral("cmdSetRec"));
    bench.registerTrafficControl(send);
    bool lockedDuringOwnOperation = false;
    QObject::connect(send, &QPushButton::clicked, [&] {
        devlink::Link::PanelLock lock(bench.link());
        lockedDuringOwnOperation = !framePort->isEnabled() && !send->isEnabled() && bench.operationRunning();
    });
    bool lockedDuringMainOperation = false;
    bench.setCommandHandler(app::Command::Default, [&] {
        devlink::Link::PanelLock lock(bench.link());
        lockedDuringMainOperation = !send->isEnabled();
    });

    QCOMPARE(main.findChild<QDialog*>(QStringLiteral("frmSecondary"))->findChild<QPushButton*>(
                 QStringLiteral("cmdSetRec")),
             send);
    send->click();
    QVERIFY(lockedDuringOwnOperation);
    QVERIFY(framePort->isEnabled() && send->isEnabled());
    main.findChild<QPushButton*>(QStringLiteral("cmdDefault"))->click();
    QVERIFY(lockedDuringMainOperation);
    QVERIFY(send->isEnabled());
    QVERIFY(answers.asked.empty());
}

QTEST_MAIN(SessionTest)
#include "tst_session.moc"
