#include "app/ProgressWindows.h"

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace app {

QString progressBarName(devlink::ProgressWindow window) {
    switch (window) {
    case devlink::ProgressWindow::SettingProgress:
        return QStringLiteral("ProgressBar");
    case devlink::ProgressWindow::Progress:
        return QStringLiteral("ProgressBar1");
    case devlink::ProgressWindow::SetType:
        break;
    }
    return {};
}

QString progressLabelName(devlink::ProgressWindow window) {
    switch (window) {
    case devlink::ProgressWindow::SettingProgress:
        return QStringLiteral("lblProgress");
    case devlink::ProgressWindow::SetType:
        return QStringLiteral("lblWait");
    case devlink::ProgressWindow::Progress:
        break;
    }
    return {};
}

QDialog* makeProgressWindow(devlink::ProgressWindow window, QWidget* owner) {
    auto* dialog = new QDialog(owner);
    dialog->setModal(false);
    // Closing a progress window by hand would not stop its operation; only the operation closes it.
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* layout = new QVBoxLayout(dialog);
    switch (window) {
    case devlink::ProgressWindow::SettingProgress: {
        dialog->setObjectName(QStringLiteral("frmSettingProgress"));
        auto* label = new QLabel(dialog);
        label->setObjectName(progressLabelName(window));
        layout->addWidget(label);
        break;
    }
    case devlink::ProgressWindow::Progress:
        dialog->setObjectName(QStringLiteral("frmProgress"));
        break;
    case devlink::ProgressWindow::SetType: {
        dialog->setObjectName(QStringLiteral("frmSetType"));
        dialog->setWindowTitle(QStringLiteral("Setting Lumatrix type..."));
        auto* label =
            new QLabel(QStringLiteral("Please wait while the program is setting the Lumatrix..."), dialog);
        label->setObjectName(progressLabelName(window));
        layout->addWidget(label);
        break;
    }
    }
    if (!progressBarName(window).isEmpty()) {
        auto* bar = new QProgressBar(dialog);
        bar->setObjectName(progressBarName(window));
        bar->setMinimumWidth(300);
        layout->addWidget(bar);
    }
    return dialog;
}

} // namespace app
