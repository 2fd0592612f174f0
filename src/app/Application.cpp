#include "app/Application.h"

#include "app/AppInfo.h"
#include "app/MainWindow.h"
#include "app/StartWindows.h"
#include "app/Wiring.h"
#include "link/Clock.h"
#include "link/Link.h"
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
    std::unique_ptr<MainWindow> main;
    std::unique_ptr<devlink::Link> link;

    auto* splash = new Preloader;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    auto* choice = new DeviceChoice;
    choice->setAttribute(Qt::WA_DeleteOnClose);

    QObject::connect(splash, &Preloader::finished, splash, [splash, choice] {
        choice->show();
        splash->close();
    });
    // Closing the choice without OK ends the program.
    QObject::connect(choice, &QDialog::finished, &application, [&main] {
        if (!main)
            QApplication::quit();
    });
    QObject::connect(choice, &DeviceChoice::chosen, &application, [&, choice](config::InstrumentKind kind) {
        main = std::make_unique<MainWindow>(kind, port);
        link = std::make_unique<devlink::Link>(main->port(), clock, *main, main->model().portNumber);
        MainWindow* window = main.get();
        devlink::Link* l = link.get();
        QObject::connect(&window->model(), &config::ConfigModel::changed, window,
                         [window, l] { l->setPortNumber(window->model().portNumber); });
        QObject::connect(window, &MainWindow::exitConfirmed, &application, &QApplication::quit,
                         Qt::QueuedConnection);
        wireOperations(*window, *link);
        window->show();
        choice->close();
    });

    splash->show();
    const int result = QApplication::exec();
    link.reset();
    main.reset();
    return result;
}

} // namespace app
