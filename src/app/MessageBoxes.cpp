#include "app/MessageBoxes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

#include <QMessageBox>

namespace app {
namespace {

MessageAnswerer& installedAnswerer() {
    static MessageAnswerer answerer;
    return answerer;
}

QMessageBox::Icon toQt(devlink::Icon icon) {
    switch (icon) {
    case devlink::Icon::Critical:
        return QMessageBox::Critical;
    case devlink::Icon::Question:
        return QMessageBox::Question;
    case devlink::Icon::Exclamation:
        return QMessageBox::Warning;
    case devlink::Icon::Information:
        return QMessageBox::Information;
    case devlink::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton toQt(devlink::Answer answer) {
    switch (answer) {
    case devlink::Answer::Ok:
        return QMessageBox::Ok;
    case devlink::Answer::Cancel:
        return QMessageBox::Cancel;
    case devlink::Answer::Yes:
        return QMessageBox::Yes;
    case devlink::Answer::No:
        return QMessageBox::No;
    }
    return QMessageBox::NoButton;
}

QMessageBox::StandardButtons toQt(devlink::Buttons buttons) {
    switch (buttons) {
    case devlink::Buttons::Ok:
        return QMessageBox::Ok;
    case devlink::Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case devlink::Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case devlink::Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

devlink::Answer escapeAnswer(devlink::Buttons buttons) {
    switch (buttons) {
    case devlink::Buttons::OkCancel:
    case devlink::Buttons::YesNoCancel:
        return devlink::Answer::Cancel;
    case devlink::Buttons::YesNo:
        return devlink::Answer::No;
    case devlink::Buttons::Ok:
        break;
    }
    return devlink::Answer::Ok;
}

} // namespace

MessageAnswerer setMessageAnswerer(MessageAnswerer answerer) {
    MessageAnswerer previous = std::move(installedAnswerer());
    installedAnswerer() = std::move(answerer);
    return previous;
}

devlink::Answer showMessage(QWidget* parent, const MessageRequest& request) {
    if (installedAnswerer())
        return installedAnswerer()(request);

    QMessageBox box(toQt(request.icon), request.title, request.text, toQt(request.buttons), parent);
    const QMessageBox::StandardButton defaultButton = toQt(request.defaultButton);
    if (box.button(defaultButton))
        box.setDefaultButton(defaultButton);
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok:
        return devlink::Answer::Ok;
    case QMessageBox::Cancel:
        return devlink::Answer::Cancel;
    case QMessageBox::Yes:
        return devlink::Answer::Yes;
    case QMessageBox::No:
        return devlink::Answer::No;
    default:
        break;
    }
    return escapeAnswer(request.buttons);
}

namespace {

FileDialogAnswerer& installedFileAnswerer() {
    static FileDialogAnswerer answerer;
    return answerer;
}

CalendarAnswerer& installedCalendar() {
    static CalendarAnswerer answerer;
    return answerer;
}

// "desc|pattern|desc|pattern|" becomes Qt's "desc;;desc": the descriptions already name their
// patterns in brackets, which is what Qt reads.
QString toQtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList filters;
    for (int i = 0; i < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        if (i + 1 < parts.size() && !description.contains(QLatin1Char('(')))
            description += QStringLiteral(" (%1)").arg(parts[i + 1].trimmed());
        filters << description;
    }
    return filters.join(QStringLiteral(";;"));
}

} // namespace

FileDialogAnswerer setFileDialogAnswerer(FileDialogAnswerer answerer) {
    FileDialogAnswerer previous = std::move(installedFileAnswerer());
    installedFileAnswerer() = std::move(answerer);
    return previous;
}

QString chooseFile(QWidget* parent, const FileDialogRequest& request) {
    if (installedFileAnswerer())
        return installedFileAnswerer()(request);
    QString start = request.folder;
    if (!request.proposedName.isEmpty())
        start = QDir(start.isEmpty() ? QDir::currentPath() : start).filePath(request.proposedName);
    const QString filter = toQtFilter(request.filter);
    if (request.mode == devlink::FileRequest::Mode::Save)
        return QFileDialog::getSaveFileName(parent, request.title, start, filter);
    return QFileDialog::getOpenFileName(parent, request.title, start, filter);
}

CalendarAnswerer setCalendarAnswerer(CalendarAnswerer answerer) {
    CalendarAnswerer previous = std::move(installedCalendar());
    installedCalendar() = std::move(answerer);
    return previous;
}

QDateTime currentDateTime() {
    return installedCalendar() ? installedCalendar()() : QDateTime::currentDateTime();
}

QString proposedFolder() {
    const QString own = QCoreApplication::applicationDirPath();
    if (!own.isEmpty() && QFileInfo(own).isWritable())
        return own;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

} // namespace app
