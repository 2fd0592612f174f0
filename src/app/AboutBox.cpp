#include "app/AboutBox.h"

#include "app/AppInfo.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QUrl>

namespace app {

AboutBox::AboutBox(QWidget* owner, std::function<void()> onServiceCode)
    : QDialog(owner), onServiceCode_(std::move(onServiceCode)) {
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About..."));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* layout = new QGridLayout(this);
    auto* logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("Image1"));
    logo->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48));
    layout->addWidget(logo, 0, 0, 3, 1, Qt::AlignTop);

    int row = 0;
    auto addRow = [&](const QString& caption, QLabel* value) {
        layout->addWidget(new QLabel(caption, this), row, 1);
        layout->addWidget(value, row, 2);
        ++row;
    };
    addRow(QStringLiteral("Application :"), new QLabel(applicationName(), this));
    auto* version = new QLabel(versionText(), this);
    version->setObjectName(QStringLiteral("Label11"));
    addRow(QStringLiteral("Version :"), version);
    addRow(QStringLiteral("Software :"), new QLabel(QStringLiteral("instrument-manager"), this));
    addRow(QStringLiteral("Description :"), new QLabel(applicationDescription(), this));

    for (const char* line : {"Example Instruments Ltd.", "1 Example Street, 00000 Example Town",
                             "Tel. +00 000 000000", "Author: Example Developer"})
        layout->addWidget(new QLabel(QString::fromLatin1(line), this), row++, 1, 1, 2);

    auto* mail = new QLabel(QStringLiteral("<a href=\"mailto:%1\">%1</a>").arg(makerMail()), this);
    mail->setObjectName(QStringLiteral("MAILlbl"));
    connect(mail, &QLabel::linkActivated, this,
            [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
    layout->addWidget(mail, row++, 1, 1, 2);
    auto* web = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(makerWeb()), this);
    web->setObjectName(QStringLiteral("URLlbl"));
    connect(web, &QLabel::linkActivated, this,
            [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
    layout->addWidget(web, row++, 1, 1, 2);

    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("txtPassword"));
    password_->setMaximumWidth(80);
    password_->setEchoMode(QLineEdit::Password);
    layout->addWidget(password_, row, 0);
    auto* close = new QPushButton(QStringLiteral("E&xit"), this);
    close->setObjectName(QStringLiteral("btnclose"));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    layout->addWidget(close, row, 2, Qt::AlignRight);

    // The code is checked on a timer, not on keystrokes, so pasting it works the same as typing.
    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setInterval(CheckIntervalMs);
    connect(timer_, &QTimer::timeout, this, &AboutBox::checkCode);
    timer_->start();
}

void AboutBox::checkCode() {
    if (password_->text() == QLatin1String("brestol") && onServiceCode_)
        onServiceCode_();
}

} // namespace app
