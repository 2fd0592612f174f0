#pragma once

#include "link/OperationUi.h"

#include <QString>

#include <functional>

class QWidget;

namespace app {

// Every message box of the program goes through showMessage(), so that tests can answer them
// with a script instead of a dialog.
struct MessageRequest {
    QString text;
    QString title;
    devlink::Icon icon = devlink::Icon::None;
    devlink::Buttons buttons = devlink::Buttons::Ok;
    devlink::Answer defaultButton = devlink::Answer::Ok;
};

using MessageAnswerer = std::function<devlink::Answer(const MessageRequest&)>;

// Shows a modal box owned by parent (or hands the request to the installed answerer) and
// returns the button pressed. Closing the box with Escape or the title bar gives Cancel for
// boxes with a Cancel button, No for Yes/No boxes, OK otherwise.
devlink::Answer showMessage(QWidget* parent, const MessageRequest& request);

// Installs an answerer in place of the real boxes; an empty one restores them. Returns the
// previous answerer.
MessageAnswerer setMessageAnswerer(MessageAnswerer answerer);

} // namespace app
