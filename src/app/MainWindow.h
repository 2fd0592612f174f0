#pragma once

#include "app/ShutdownPort.h"
#include "app/Workbench.h"
#include "config/ConfigModel.h"
#include "link/OperationUi.h"
#include "link/Port.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <vector>

class QAbstractButton;
class QAction;
class QButtonGroup;
class QComboBox;
class QDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QTabWidget;
class QTableView;
class QTableWidget;

namespace app {

class ScaleTableModel;


// The main window ("Main"): shows the configuration model, chooses the port, and is the user
// interface every device operation talks to.
//
// Wiring an operation: setCommandHandler(Command::ReadConfig, [&] { ... }) enables the control
// and runs the handler on a click. A handler that talks to the instrument brackets its work with
// lockPanels()/unlockPanels() (runLocked() does both, on every way out). While locked, the user
// can still close the window: after Yes to the exit question the port is closed at once, the
// port refuses to open again (so later exchanges of the operation fail at once), the remaining
// message boxes of the operation are answered with their default without being shown,
// exitRequested() turns true, and the window closes when the last unlockPanels() runs.
//
// Secondary windows register the controls that start traffic with registerTrafficControl(), so
// that they are disabled together with the main window's frames.
class MainWindow : public QMainWindow, public devlink::OperationUi {
    Q_OBJECT
public:
    MainWindow(config::InstrumentKind kind, devlink::Port& port, QWidget* parent = nullptr);
    ~MainWindow() override;

    config::ConfigModel& model() { return *model_; }
    // The port every device operation must use (give it to the devlink::Link): after the user
    // leaves during an operation it is closed and will not open again.
    devlink::Port& port() { return port_; }

    void setCommandHandler(Command command, std::function<void()> handler);
    // The widget or menu action behind a command, for windows that need to place themselves.
    QObject* commandControl(Command command) const;

    // Runs work between lockPanels() and unlockPanels().
    void runLocked(const std::function<void()>& work);

    void registerTrafficControl(QWidget* control);
    void registerTrafficControl(QAction* control);

    bool operationRunning() const { return lockDepth_ > 0; }
    bool exitRequested() const { return exitRequested_; }

    // The About box's code check: reveals mnuService and lets the service writes happen.
    void unlockService();
    bool serviceVisible() const;

    bool degreesChecked() const;

    // Programmatic counterparts of the port controls' clicks.
    void chooseComport(int index);
    void choosePortListItem(int listIndex);

    // Pulls every widget from the model; called whenever the model reports a change.
    void refreshFromModel();

    // devlink::OperationUi
    void lockPanels() override;
    void unlockPanels() override;
    devlink::Answer message(const std::string& text, const std::string& title, devlink::Icon icon,
                            devlink::Buttons buttons,
                            devlink::Answer defaultButton = devlink::Answer::Ok) override;
    void showProgress(devlink::ProgressWindow window, const std::string& caption) override;
    void setProgressLabel(devlink::ProgressWindow window, const std::string& text) override;
    void setProgressRange(devlink::ProgressWindow window, int minimum, int maximum) override;
    void setProgressValue(devlink::ProgressWindow window, int value) override;
    void closeProgress(devlink::ProgressWindow window) override;
    std::string chooseFile(const devlink::FileRequest& request) override;
    devlink::CalendarTime now() override;

    // Pixels for a length in twips at this screen's resolution.
    int twips(int value) const;

signals:
    void angleUnitChanged(bool degrees);
    // The user confirmed the exit question and the window is closing.
    void exitConfirmed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    QWidget* buildPortFrame();
    QWidget* buildConfigFrame();
    QWidget* buildSetIntoFrame();
    QWidget* buildFileFrame();
    QWidget* buildTimeFrame();
    QWidget* buildRecordingFrame();
    QWidget* buildScaleTab();
    QWidget* buildQuorvaneFrame();
    QWidget* buildChannelTab(int channel);
    QWidget* buildCommonTab();
    QWidget* buildVariablesFrame();
    void applyInstrumentLayout();

    QAbstractButton* commandButton(Command command, const QString& objectName, const QString& caption);
    void updateCommandEnabled(Command command);
    void updateTrafficControls();
    void holdDisabled(QWidget* control);
    void holdDisabled(QAction* control);

    void bindText(QLineEdit* edit, std::function<QString&()> field);
    void bindList(QComboBox* list, std::function<int&()> field);

    // Opens and closes the port to prove it exists; false after telling the user it may not be used.
    bool testPort(int portNumber);
    void fallBackToComOne();
    void showPortDevice(int portNumber);

    void openManual(const QString& file);
    void showAbout();

    QDialog* progressWindow(devlink::ProgressWindow window, bool create);
    QProgressBar* progressBar(devlink::ProgressWindow window);

    ShutdownPort port_;
    config::ConfigModel* model_;

    std::vector<std::function<void()>> refreshers_;
    bool refreshing_ = false;

    struct CommandEntry {
        QObject* control = nullptr;
        std::function<void()> handler;
    };
    std::map<Command, CommandEntry> commands_;

    std::vector<QPointer<QWidget>> trafficWidgets_;
    std::vector<QPointer<QAction>> trafficActions_;
    std::vector<QPointer<QWidget>> heldWidgets_; // disabled by the current lock
    std::vector<QPointer<QAction>> heldActions_;
    std::vector<QPointer<QWidget>> lockedFrames_;

    int lockDepth_ = 0;
    bool exitRequested_ = false;
    bool closing_ = false;

    // Port choice
    std::vector<QAbstractButton*> comport_;
    QButtonGroup* comportGroup_ = nullptr;
    QComboBox* cmbPort_ = nullptr;
    bool portTestRunning_ = false;

    // Menus
    QMenu* mnuData_ = nullptr;
    QMenu* mnuAngle_ = nullptr;
    QAction* mnuDegrees_ = nullptr;
    QAction* mnuRadians_ = nullptr;
    QAction* mnuService_ = nullptr;

    // Layout parts that depend on the instrument
    QTabWidget* scaleTab_ = nullptr;
    QGroupBox* frameQuorvane_ = nullptr;
    QGroupBox* frameVariables_ = nullptr;
    std::vector<ScaleTableModel*> scaleModels_;

    // Recording of the read-out unit
    QComboBox* cmbLumatrixRate_ = nullptr;
    QButtonGroup* recGroup_ = nullptr;
    QLabel* lblNone_ = nullptr;

    QPointer<QDialog> progressWindows_[3];
    QPointer<QWidget> about_;
};

} // namespace app
