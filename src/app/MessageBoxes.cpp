#include "app/MessageBoxes.h"

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

} // namespace app
