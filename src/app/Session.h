#pragma once

#include "app/Workbench.h"
#include "config/ConfigModel.h"

#include <memory>

namespace devlink {
class Clock;
class Port;
} // namespace devlink

namespace app {

class MainWindow;

// The program for one chosen instrument, put together once: the main window with its model, the
// port, the link, the long-lived formula evaluator, and every subsystem's commands and windows.
// main() and the tests build the program through this one class, so what the tests drive is what
// the user gets.
//
// The port number has one owner, the model: the port choice writes it there and the link reads it
// there whenever it opens the port, so the port chosen last is the port every operation uses.
class Session final : public Workbench {
public:
    Session(config::InstrumentKind kind, devlink::Port& port, devlink::Clock& clock);
    ~Session() override;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    MainWindow& window() { return *window_; }

    config::ConfigModel& model() override;
    devlink::Link& link() override { return *link_; }
    devlink::OperationUi& ui() override;
    formula::FormulaEvaluator& evaluator() override { return *evaluator_; }
    QWidget& mainWindow() override;
    void setCommandHandler(Command command, std::function<void()> handler) override;
    QObject* commandControl(Command command) const override;
    void registerTrafficControl(QWidget* control) override;
    void registerTrafficControl(QAction* control) override;
    bool operationRunning() const override;

private:
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<formula::FormulaEvaluator> evaluator_;
    std::unique_ptr<devlink::Link> link_;
};

// Every subsystem's registration, one line each (Subsystems.cpp).
void registerSubsystems(Workbench& bench);

} // namespace app
