#pragma once

// The service window: fixing the read-out unit to one input range or opening it to all again,
// and setting its logging rate alone. Reached through the Service menu the About box reveals.

#include "write/RegisterWrites.h"

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;

namespace app {
class Workbench;
}

namespace writing {

// The commands of the single-scale choice k (0 "Open Scale", 1..6 the ranges) in order:
// k = 0: "b0200", "a07B00"; otherwise "b000" + (k - 1), "b020" + k, "a0800" + (k - 1), "a07B0" + k.
std::vector<std::string> singleScaleCommands(int choice);

// Sends the commands of choice k, each after its own wake-up (two tries each) and all but the last
// followed by more than 0.2 s, under the wait window, between locked panels. An unanswered
// wake-up ends the operation with one message; the commands already sent stay sent.
RegisterResult sendSingleScaleType(devlink::Link& link, int choice);

// frmService ("Service"), owned by the main window.
class ServiceWindow : public QDialog {
    Q_OBJECT
public:
    ServiceWindow(app::Workbench& bench, QWidget* owner);

private:
    app::Workbench& bench_;
    QComboBox* singleScale_ = nullptr;
    QComboBox* rate_ = nullptr;
};

// The Service menu: opens the window, or brings the open one to the front.
void showServiceWindow(app::Workbench& bench);

} // namespace writing
