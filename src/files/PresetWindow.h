#pragma once

// The keypad preset window frmPx ("Keypad Setup"): the 48 scales with their range and label, a
// box per preset for its scale number, and Get / Send / Close.

#include "config/ConfigModel.h"

#include <QDialog>
#include <QString>

#include <array>

class QLineEdit;
class QTableWidget;

namespace app {
class Workbench;
}

namespace files {

class PresetWindow : public QDialog {
    Q_OBJECT
public:
    PresetWindow(app::Workbench& bench, QWidget* owner);

    // The boxes show the model's presets.
    void showModelPresets();

private:
    void fillGrid();
    void boxEdited(int k);

    app::Workbench& bench_;
    QTableWidget* grid_ = nullptr;
    std::array<QLineEdit*, config::PresetCount> boxes_{};
    // Each box's own last valid text, so a bad key in one box never brings back another's number.
    std::array<QString, config::PresetCount> lastValid_;
    bool adjusting_ = false;
};

// cmdPx: the converter-type query between locked panels, then the window (or the open one brought
// to the front) only when the unit answered.
void openPresetWindow(app::Workbench& bench);

// The keypad preset command of the main window.
void registerPresets(app::Workbench& bench);

} // namespace files
