#pragma once

#include "linearization/Linearization.h"

#include <QObject>
#include <QPointer>

class QAbstractButton;
class QTableView;

namespace app {
class Workbench;
}

namespace linearization {

// The linearization's place in the main window: the set-linearization and calculate buttons, the
// variables grid's keys, the preview before a send and the Cancel button of the send's progress
// window. It turns them into Linearizer calls and keeps the calculate button's state in step.
class Panel final : public QObject {
    Q_OBJECT
public:
    explicit Panel(app::Workbench& bench);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    SendControls controls();
    void addCancelButton();
    void updateCalc();
    void finished();

    app::Workbench& bench_;
    Linearizer linearizer_;
    QPointer<QTableView> grid_;
    QPointer<QAbstractButton> calc_;
    bool cancelRequested_ = false;
};

// Creates the panel, owned by the main window.
void attachLinearization(app::Workbench& bench);

} // namespace linearization
