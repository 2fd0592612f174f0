#pragma once

// What a subsystem sees of the program: the model, the link, the user interface, the evaluator,
// and the main window's commands. Each subsystem (writes, download, files, linearization)
// registers its commands and secondary windows through this from its own folder, so none of them
// depends on the main window and adding one does not grow it.

#include <functional>

class QAction;
class QObject;
class QWidget;

namespace config {
class ConfigModel;
}
namespace devlink {
class Link;
class OperationUi;
} // namespace devlink
namespace formula {
class FormulaEvaluator;
}

namespace app {

// The controls that start a device operation or open a window that does. Each stays disabled
// until a handler is attached to it.
enum class Command {
    ReadConfig,      // cmdReadConfig
    Default,         // cmdDefault
    Px,              // cmdPx (preset window)
    SetSingle,       // cmdSetSingle
    SetAll,          // cmdSetAll
    SetLinear,       // cmdSetLinear
    Load,            // cmdLoad
    Save,            // cmdSave
    GetTime,         // cmdGetTime
    SysTime,         // cmdSysTime
    SetTime,         // cmdSetTime
    GetRec,          // cmdGetRec
    SetRec,          // cmdSetRec
    GetRate,         // cmdGetRate
    SetRate,         // cmdSetRate
    BlockReset,      // cmdBlockReset
    ResetTotalizer1, // cmdResetTOT(1)
    ResetTotalizer2, // cmdResetTOT(2)
    Download,        // cmdDownload
    Calc,            // cmdCalc
    DataTransfer,    // mnuDataTransfer
    Service,         // mnuService (the menu stays hidden until the About box reveals it)
};

class Workbench {
public:
    virtual ~Workbench() = default;

    virtual config::ConfigModel& model() = 0;
    // The one link: it opens whatever port the user chose last.
    virtual devlink::Link& link() = 0;
    // Message boxes, file dialogs, the calendar, progress windows and panel locking.
    virtual devlink::OperationUi& ui() = 0;
    // The long-lived evaluator; the main window's angle menu sets its angle unit.
    virtual formula::FormulaEvaluator& evaluator() = 0;

    // The main window. Secondary windows are created with it as their parent, so they close with
    // it and tests find them by objectName inside it.
    virtual QWidget& mainWindow() = 0;

    // Enables the command's control and runs the handler on a click.
    virtual void setCommandHandler(Command command, std::function<void()> handler) = 0;
    // The widget or menu action behind a command.
    virtual QObject* commandControl(Command command) const = 0;

    // A secondary window's control that starts traffic: disabled while any operation runs (its own
    // included), enabled again when the last one ends.
    virtual void registerTrafficControl(QWidget* control) = 0;
    virtual void registerTrafficControl(QAction* control) = 0;

    // True while an operation holds the panels locked.
    virtual bool operationRunning() const = 0;
};

} // namespace app
