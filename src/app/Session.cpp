#include "app/Session.h"

#include "app/MainWindow.h"
#include "formula/FormulaEvaluator.h"
#include "link/Link.h"

namespace app {

Session::Session(config::InstrumentKind kind, devlink::Port& port, devlink::Clock& clock)
    : window_(std::make_unique<MainWindow>(kind, port)) {
    MainWindow* window = window_.get();
    evaluator_ = std::make_unique<formula::FormulaEvaluator>(window->degreesChecked() ? formula::HostAngle::Degrees
                                                                                      : formula::HostAngle::Radians);
    link_ = std::make_unique<devlink::Link>(window->port(), clock, *window,
                                            [window] { return window->model().portNumber; });
    formula::FormulaEvaluator* evaluator = evaluator_.get();
    QObject::connect(window, &MainWindow::angleUnitChanged, window,
                     [evaluator](bool degrees) { evaluator->setAngleUnit(degrees ? "DEG" : "RAD"); });
    registerSubsystems(*this);
}

Session::~Session() = default;

config::ConfigModel& Session::model() {
    return window_->model();
}

devlink::OperationUi& Session::ui() {
    return *window_;
}

QWidget& Session::mainWindow() {
    return *window_;
}

void Session::setCommandHandler(Command command, std::function<void()> handler) {
    window_->setCommandHandler(command, std::move(handler));
}

QObject* Session::commandControl(Command command) const {
    return window_->commandControl(command);
}

void Session::registerTrafficControl(QWidget* control) {
    window_->registerTrafficControl(control);
}

void Session::registerTrafficControl(QAction* control) {
    window_->registerTrafficControl(control);
}

bool Session::operationRunning() const {
    return window_->operationRunning();
}

} // namespace app
