#include "download/BlockWindow.h"

#include "app/MessageBoxes.h"
#include "app/Workbench.h"
#include "config/ReadOperations.h"
#include "download/DataView.h"
#include "link/Encodings.h"
#include "link/Link.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace download {

namespace {

QString boxText(int block) {
    return QString::fromStdString(enc::zeroPadded(block, 4));
}

void openBlockWindow(app::Workbench& bench) {
    QWidget& main = bench.mainWindow();
    if (auto* open = main.findChild<BlockWindow*>(QStringLiteral("frmNoBlock"), Qt::FindDirectChildrenOnly);
        open && open->isVisible()) {
        open->raise();
        open->activateWindow();
        return;
    }
    if (queryBlockWindow(bench.model(), bench.link()) != Outcome::Completed)
        return;
    auto* window = new BlockWindow(bench, &main);
    window->fillBoxes();
    window->show();
}

} // namespace

BlockWindow::BlockWindow(app::Workbench& bench, QWidget* parent) : QDialog(parent), bench_(bench) {
    setObjectName(QStringLiteral("frmNoBlock"));
    setWindowTitle(QStringLiteral("Select blocks to dowload"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    all_ = new QRadioButton(QStringLiteral("All"));
    all_->setObjectName(QStringLiteral("optNoBlocks(0)"));
    selected_ = new QRadioButton(QStringLiteral("Selected"));
    selected_->setObjectName(QStringLiteral("optNoBlocks(1)"));
    from_ = new QLineEdit;
    from_->setObjectName(QStringLiteral("txtFromBlock"));
    to_ = new QLineEdit;
    to_->setObjectName(QStringLiteral("txtToBlock"));
    for (QLineEdit* box : {from_, to_}) {
        box->setMaxLength(10);
        box->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
        // Typing a block number means a selected range.
        connect(box, &QLineEdit::textEdited, selected_, [this] { selected_->setChecked(true); });
    }
    auto* fromLabel = new QLabel(QStringLiteral("From :"));
    fromLabel->setBuddy(from_);
    auto* toLabel = new QLabel(QStringLiteral("To :"));
    toLabel->setBuddy(to_);

    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto* resetButton = new QPushButton(QStringLiteral("Reset"));
    resetButton->setObjectName(QStringLiteral("cmdReset"));
    resetButton->setToolTip(QStringLiteral("Reset Memory"));
    auto* stop = new QPushButton(QStringLiteral("Cancel"));
    stop->setObjectName(QStringLiteral("cmdStop"));

    auto* grid = new QGridLayout;
    grid->addWidget(all_, 0, 0, 1, 2);
    grid->addWidget(selected_, 1, 0, 1, 2);
    grid->addWidget(fromLabel, 2, 0);
    grid->addWidget(from_, 2, 1);
    grid->addWidget(toLabel, 3, 0);
    grid->addWidget(to_, 3, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(resetButton);
    buttons->addWidget(stop);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(ok, &QPushButton::clicked, this, &BlockWindow::download);
    connect(resetButton, &QPushButton::clicked, this, &BlockWindow::reset);
    connect(stop, &QPushButton::clicked, this, &QDialog::close);
    bench_.registerTrafficControl(ok);
    bench_.registerTrafficControl(resetButton);
    bench_.registerTrafficControl(stop);
}

void BlockWindow::closeEvent(QCloseEvent* event) {
    if (bench_.operationRunning()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void BlockWindow::reject() {
    if (!bench_.operationRunning())
        QDialog::reject();
}

void BlockWindow::fillBoxes() {
    all_->setChecked(true);
    from_->setText(boxText(1));
    to_->setText(boxText(lastLoggedBlock(bench_.model().nextBlock)));
}

void BlockWindow::download() {
    config::ConfigModel& model = bench_.model();
    const auto range = chooseRange(all_->isChecked(), from_->text().toStdString(), to_->text().toStdString(),
                                   model.nextBlock);
    if (!range) {
        bench_.ui().message(incorrectBlockMessage, "Error", devlink::Icon::Exclamation, devlink::Buttons::Ok);
        return;
    }
    if (range->swapped) {
        from_->setText(boxText(range->first));
        to_->setText(boxText(range->last));
    }
    QPointer<BlockWindow> self(this);
    const Download result =
        downloadBlocks(model, bench_.link(), *range, app::proposedFolder().toStdString(), [self] {
            if (self)
                self->hide();
        });
    // Until the file is open the user may still choose other blocks or another name.
    if (result.outcome == Outcome::Cancelled || result.outcome == Outcome::Busy ||
        (self && self->isVisible()))
        return;
    if (self)
        self->close();
    if ((result.outcome == Outcome::Completed || result.outcome == Outcome::Stopped) &&
        !result.records.empty())
        showDataView(bench_.mainWindow(), result.records, QString::fromStdString(result.path));
}

void BlockWindow::reset() {
    QPointer<BlockWindow> self(this);
    if (resetMemory(bench_.model(), bench_.link()) == Outcome::Completed && self)
        fillBoxes();
}

void registerBlockWindow(app::Workbench& bench) {
    if (bench.model().instrumentKind == config::InstrumentKind::Quorvane) {
        bench.setCommandHandler(app::Command::Download, [&bench] {
            config::ConfigModel& model = bench.model();
            if (!model.configRead) {
                QWidget* main = &bench.mainWindow();
                const auto read = config::readQuorvaneConfiguration(model, bench.link(), [main](int range) {
                    if (auto* tabs = main->findChild<QTabWidget*>(QStringLiteral("ScaleTab")))
                        tabs->setCurrentIndex(range - 1);
                });
                if (read == config::ReadResult::NotConnected || read == config::ReadResult::Busy)
                    return;
            }
            openBlockWindow(bench);
        });
    }
    bench.setCommandHandler(app::Command::DataTransfer, [&bench] { openBlockWindow(bench); });
}

} // namespace download
