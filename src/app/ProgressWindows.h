#pragma once

#include "link/OperationUi.h"

#include <QString>

class QDialog;
class QWidget;

namespace app {

// The three progress windows the device operations show: frmSettingProgress (lblProgress,
// ProgressBar), frmProgress (ProgressBar1) and the wait window frmSetType. Not modal; the
// main window's locked frames keep the user from starting anything else meanwhile.
QDialog* makeProgressWindow(devlink::ProgressWindow window, QWidget* owner);
QString progressBarName(devlink::ProgressWindow window);
QString progressLabelName(devlink::ProgressWindow window);

} // namespace app
