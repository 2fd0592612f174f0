#include "app/Application.h"

#include "app/AppInfo.h"
#include "app/MainWindow.h"
#include "app/StartWindows.h"
#include "app/Session.h"
#include "link/Clock.h"
#include "link/QtSerialPort.h"

#include <QApplication>

#include <memory>

namespace app {

int runApplication(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(applicationName());
    QApplication::setApplicationVersion(versionText());
    // The main window decides when the program ends (after the exit question), not the last
    // window that happens to close.
    QApplication::setQuitOnLastWindowClosed(false);

    devlink::QtSerialPort port;
    devlink::SystemClock clock;
    std::unique_ptr<Session> session;

    auto* splash = new Preloader;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    auto* choice = new DeviceChoice;
    choice->setAttribute(Qt::WA_DeleteOnClose);

    QObject::connect(splash, &Preloader::finished, splash, [splash, choice] {
        choice->show();
        splash->close();
    });
    // Closing the choice without OK ends the program.
    QObject::connect(choice, &QDialog::finished, &application, [&session] {
        if (!session)
            QApplication::quit();
    });
    QObject::connect(choice, &DeviceChoice::chosen, &application, [&, choice](config::InstrumentKind kind) {
        session = std::make_unique<Session>(kind, port, clock);
        MainWindow* window = &session->window();
        QObject::connect(window, &MainWindow::exitConfirmed, &application, &QApplication::quit,
                         Qt::QueuedConnection);
        window->show();
        choice->close();
    });

    splash->show();
    const int result = QApplication::exec();
    session.reset();
    return result;
}

} // namespace app
