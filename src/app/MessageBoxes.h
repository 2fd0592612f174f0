#pragma once

#include "link/OperationUi.h"

#include <QDateTime>
#include <QString>

#include <functional>

class QWidget;

namespace app {

// Every message box, file dialog and reading of the calendar goes through here, so that tests
// can answer them with a script instead of a dialog or today's date.
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

// A file dialog. The filter is given as the program's dialogs describe it, pairs of a description
// and a pattern separated by "|" (" Lumatrix Configuration File (*.lmx)|*.lmx|").
struct FileDialogRequest {
    devlink::FileRequest::Mode mode = devlink::FileRequest::Mode::Open;
    QString title;
    QString filter;
    QString proposedName;
    QString folder;
};

// Returns the chosen path, or an empty string when the user cancelled.
using FileDialogAnswerer = std::function<QString(const FileDialogRequest&)>;

// Shows the open or save dialog (or hands the request to the installed answerer). A save dialog
// asks before replacing an existing file.
QString chooseFile(QWidget* parent, const FileDialogRequest& request);

// Installs an answerer in place of the real dialogs; an empty one restores them. Returns the
// previous answerer.
FileDialogAnswerer setFileDialogAnswerer(FileDialogAnswerer answerer);

// The local date and time (or the installed answerer's).
QDateTime currentDateTime();
using CalendarAnswerer = std::function<QDateTime()>;
CalendarAnswerer setCalendarAnswerer(CalendarAnswerer answerer);

// The folder a file dialog proposes: the program's own when it may be written to, the user's
// documents folder otherwise.
QString proposedFolder();

} // namespace app
