#include "app/StartWindows.h"

#include "app/AppInfo.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace app {

Preloader::Preloader(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Preloader"));
    auto* layout = new QVBoxLayout(this);
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(64, 64));
    image->setAlignment(Qt::AlignCenter);
    auto* loading = new QLabel(QStringLiteral("Loading Components ..."), this);
    loading->setObjectName(QStringLiteral("Label1"));
    auto* version = new QLabel(versionText(), this);
    version->setObjectName(QStringLiteral("Label2"));
    auto* description = new QLabel(applicationDescription(), this);
    description->setObjectName(QStringLiteral("Label3"));
    for (QLabel* l : {loading, version, description})
        l->setAlignment(Qt::AlignCenter);
    layout->addWidget(image);
    layout->addWidget(description);
    layout->addWidget(version);
    layout->addWidget(loading);

    auto* timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("Timer1"));
    timer->setSingleShot(true);
    timer->setInterval(ShowMs);
    connect(timer, &QTimer::timeout, this, &Preloader::finished);
    timer->start();
}

DeviceChoice::DeviceChoice(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDevice"));
    setWindowTitle(QStringLiteral("Select the Device to communicate with..."));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    auto* box = new QGroupBox(QStringLiteral(" Device "), this);
    box->setObjectName(QStringLiteral("FrameDataLogger"));
    auto* boxLayout = new QVBoxLayout(box);
    lumatrix_ = new QRadioButton(QStringLiteral("Lumatrix"), box);
    lumatrix_->setObjectName(QStringLiteral("optLogger(0)"));
    lumatrix_->setChecked(true);
    auto* quorvane = new QRadioButton(QStringLiteral("Quorvane"), box);
    quorvane->setObjectName(QStringLiteral("optLogger(1)"));
    boxLayout->addWidget(lumatrix_);
    boxLayout->addWidget(quorvane);
    layout->addWidget(box);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    layout->addWidget(ok);
    connect(ok, &QPushButton::clicked, this, [this] {
        const auto kind =
            lumatrix_->isChecked() ? config::InstrumentKind::Lumatrix : config::InstrumentKind::Quorvane;
        emit chosen(kind);
    });
}

} // namespace app
