#include "write/ServiceWindow.h"

#include "app/Workbench.h"
#include "link/Encodings.h"
#include "link/Link.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace writing {

namespace {

const char* const singleScaleItems[] = {"Open Scale", " 5   V", " 2   V", "200 mV", "20  mV", "2 mV/V", "4-20 mA"};
const char* const rateItems[] = {"10 sec",  "20 sec",  "30 sec",  " 1 min",  " 2 min",  " 5 min",  "10 min",
                                 "30 min",  " 1 hour", " 2 hour", " 4 hour", " 6 hour", "12 hour", "24 hour"};

QPushButton* button(const char* objectName, const char* caption, QWidget* parent) {
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QLatin1String(objectName));
    return b;
}

} // namespace

std::vector<std::string> singleScaleCommands(int choice) {
    if (choice == 0)
        return {"b0200", "a07B00"};
    const std::string index = enc::plainNumber(choice - 1);
    const std::string type = enc::plainNumber(choice);
    return {"b000" + index, "b020" + type, "a0800" + index, "a07B0" + type};
}

RegisterResult sendSingleScaleType(devlink::Link& link, int choice) {
    if (link.inProgress())
        return RegisterResult::Busy;
    if (choice < 0 || choice > 6) {
        refuseInput(link.ui(), "Choose a scale option first.");
        return RegisterResult::Refused;
    }
    devlink::OperationUi& ui = link.ui();
    devlink::Link::PanelLock lock(link);
    ui.showProgress(devlink::ProgressWindow::SetType, "Setting Lumatrix type...");
    const std::vector<std::string> commands = singleScaleCommands(choice);
    RegisterResult result = RegisterResult::Sent;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const bool last = i + 1 == commands.size();
        const devlink::Written written =
            link.write({.command = commands[i],
                        .settle = last ? 0.0 : 0.2,
                        .keepOpen = !last,
                        .closeSetTypeOnFailure = true});
        if (written != devlink::Written::Sent) {
            result = written == devlink::Written::Busy ? RegisterResult::Busy : RegisterResult::NotConnected;
            break;
        }
    }
    link.closePort();
    ui.closeProgress(devlink::ProgressWindow::SetType);
    return result;
}

ServiceWindow::ServiceWindow(app::Workbench& bench, QWidget* owner) : QDialog(owner), bench_(bench) {
    setObjectName(QStringLiteral("frmService"));
    setWindowTitle(QStringLiteral("Service"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* oneScale = new QGroupBox(QStringLiteral(" Set Single Scale Option "), this);
    oneScale->setObjectName(QStringLiteral("FrameOneScale"));
    auto* oneLayout = new QGridLayout(oneScale);
    singleScale_ = new QComboBox(oneScale);
    singleScale_->setObjectName(QStringLiteral("cmbSingleScale"));
    for (const char* item : singleScaleItems)
        singleScale_->addItem(QString::fromLatin1(item));
    singleScale_->setCurrentIndex(0);
    QPushButton* setScale = button("cmdSetScale", "Set", oneScale);
    oneLayout->addWidget(singleScale_, 0, 0);
    oneLayout->addWidget(setScale, 0, 1);
    oneLayout->setColumnStretch(0, 1);

    auto* recording = new QGroupBox(QStringLiteral(" Set recording option "), this);
    recording->setObjectName(QStringLiteral("FrameRecording"));
    auto* recLayout = new QGridLayout(recording);
    rate_ = new QComboBox(recording);
    rate_->setObjectName(QStringLiteral("cmbRate"));
    for (const char* item : rateItems)
        rate_->addItem(QString::fromLatin1(item));
    rate_->setCurrentIndex(-1);
    QPushButton* setRec = button("cmdSetRec", "Set", recording);
    recLayout->addWidget(rate_, 0, 0);
    recLayout->addWidget(setRec, 0, 1);
    recLayout->setColumnStretch(0, 1);

    QPushButton* close = button("cmdClose", "Close", this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(oneScale);
    layout->addWidget(recording);
    layout->addWidget(close, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    bench.registerTrafficControl(setScale);
    bench.registerTrafficControl(setRec);
    connect(setScale, &QPushButton::clicked, this,
            [this] { sendSingleScaleType(bench_.link(), singleScale_->currentIndex()); });
    connect(setRec, &QPushButton::clicked, this, [this] { sendRateCommand(bench_.link(), rate_->currentIndex()); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

void showServiceWindow(app::Workbench& bench) {
    QWidget& owner = bench.mainWindow();
    auto* window = owner.findChild<ServiceWindow*>(QStringLiteral("frmService"), Qt::FindDirectChildrenOnly);
    // A window closed a moment ago is only waiting to be deleted.
    if (!window || !window->isVisible())
        window = new ServiceWindow(bench, &owner);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace writing
