#include "linearization/Panel.h"

#include "app/Workbench.h"
#include "config/ConfigModel.h"
#include "linearization/PreviewDialog.h"

#include <QAbstractButton>
#include <QDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLayout>
#include <QPushButton>
#include <QTableView>

#include <algorithm>

namespace linearization {

Panel::Panel(app::Workbench& bench)
    : QObject(&bench.mainWindow()), bench_(bench),
      linearizer_(bench.model(), bench.link(), bench.evaluator(), bench.ui()) {
    setObjectName(QStringLiteral("linearizationPanel"));
    grid_ = bench.mainWindow().findChild<QTableView*>(QStringLiteral("VarGrid"));
    if (grid_) {
        grid_->installEventFilter(this);
        // The headers stay readable at any screen resolution, the value column takes the rest of
        // the width, and a few variables are in sight without scrolling.
        QHeaderView* header = grid_->horizontalHeader();
        for (int c = 0; c < header->count(); ++c)
            grid_->setColumnWidth(c, std::max(grid_->columnWidth(c), header->sectionSizeHint(c)));
        header->setStretchLastSection(true);
        grid_->setMinimumHeight(header->sizeHint().height() + 4 * grid_->verticalHeader()->defaultSectionSize() +
                                2 * grid_->frameWidth());
    }
    calc_ = qobject_cast<QAbstractButton*>(bench.commandControl(app::Command::Calc));

    bench.setCommandHandler(app::Command::SetLinear, [this] {
        linearizer_.setLinear(controls());
        finished();
    });
    bench.setCommandHandler(app::Command::Calc, [this] {
        linearizer_.calc(controls());
        finished();
    });
    if (calc_)
        bench.registerTrafficControl(calc_);
    connect(&bench.model(), &config::ConfigModel::changed, this, &Panel::updateCalc);
    updateCalc();
}

SendControls Panel::controls() {
    cancelRequested_ = false;
    return {.preview = [this](const Table& table) { return showPreview(&bench_.mainWindow(), table); },
            .progressShown = [this] { addCancelButton(); },
            .cancelRequested = [this] { return cancelRequested_; }};
}

void Panel::addCancelButton() {
    for (QDialog* progress : bench_.mainWindow().findChildren<QDialog*>(QStringLiteral("frmSettingProgress"))) {
        if (!progress->isVisible() || progress->findChild<QAbstractButton*>(QStringLiteral("cmdProgressCancel")))
            continue;
        auto* cancel = new QPushButton(QStringLiteral("Cancel"), progress);
        cancel->setObjectName(QStringLiteral("cmdProgressCancel"));
        connect(cancel, &QPushButton::clicked, this, [this, cancel] {
            cancelRequested_ = true;
            cancel->setEnabled(false);
        });
        if (QLayout* layout = progress->layout())
            layout->addWidget(cancel);
        cancel->show();
    }
}

void Panel::finished() {
    cancelRequested_ = false;
    updateCalc();
}

// The lock holds the button while an operation runs; afterwards it follows the evaluator.
void Panel::updateCalc() {
    if (calc_ && !bench_.operationRunning())
        calc_->setEnabled(linearizer_.calcAllowed());
}

bool Panel::eventFilter(QObject* watched, QEvent* event) {
    // The type first: while the grid is being destroyed it still sends events, and comparing it as
    // a table view then would look at an object that is no longer one.
    if (event->type() != QEvent::KeyPress || watched != grid_)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    char typed = 0;
    if (key->key() == Qt::Key_Backspace)
        typed = '\b';
    else if (key->text().size() == 1 && key->text().at(0).unicode() >= 0x20)
        typed = key->text().at(0).toLatin1(); // anything beyond Latin-1 becomes 0 and is refused
    else
        return false; // moving between cells stays the grid's own
    if (!bench_.operationRunning() && grid_->currentIndex().isValid() &&
        linearizer_.typeIntoValue(grid_->currentIndex().row(), typed))
        bench_.model().notifyChanged();
    return true;
}

void attachLinearization(app::Workbench& bench) {
    new Panel(bench);
}

} // namespace linearization
