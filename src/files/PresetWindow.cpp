#include "files/PresetWindow.h"

#include "app/Workbench.h"
#include "config/Queries.h"
#include "files/Presets.h"
#include "link/Link.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace files {

namespace {

constexpr int gridRows = 24;
constexpr int gapColumn = 3;

QPushButton* button(const char* objectName, const char* caption, QWidget* parent) {
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QLatin1String(objectName));
    return b;
}

} // namespace

PresetWindow::PresetWindow(app::Workbench& bench, QWidget* owner) : QDialog(owner), bench_(bench) {
    setObjectName(QStringLiteral("frmPx"));
    setWindowTitle(QStringLiteral("Keypad Setup"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);

    grid_ = new QTableWidget(gridRows, 7, this);
    grid_->setObjectName(QStringLiteral("PXGrid"));
    grid_->setHorizontalHeaderLabels({QStringLiteral("No."), QStringLiteral("Scale"), QStringLiteral("Label/Unit"),
                                      QString(), QStringLiteral("No."), QStringLiteral("Scale"),
                                      QStringLiteral("Label/Unit")});
    grid_->verticalHeader()->setVisible(false);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionMode(QAbstractItemView::NoSelection);
    grid_->setFocusPolicy(Qt::NoFocus);
    const QFontMetrics metrics = grid_->fontMetrics();
    const int numberWidth = metrics.horizontalAdvance(QStringLiteral("No.00")) + 12;
    const int scaleWidth = metrics.horizontalAdvance(QStringLiteral("4-20mA")) + 16;
    // Label and unit are four characters each, shown side by side.
    const int labelWidth = std::max(metrics.horizontalAdvance(QStringLiteral("Label/Unit")),
                                    metrics.horizontalAdvance(QString(8, u'X'))) + 20;
    const int widths[7] = {numberWidth, scaleWidth, labelWidth, 10, numberWidth, scaleWidth, labelWidth};
    grid_->horizontalHeader()->setMinimumSectionSize(0);
    for (int c = 0; c < 7; ++c)
        grid_->setColumnWidth(c, widths[c]);
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    const int total = grid_->horizontalHeader()->length() + 2 * grid_->frameWidth();
    grid_->verticalHeader()->setDefaultSectionSize(metrics.height() + 4);
    // All 48 scales in sight at once.
    grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_->setFixedSize(total, gridRows * (metrics.height() + 4) + grid_->horizontalHeader()->sizeHint().height() +
                                   2 * grid_->frameWidth());
    fillGrid();

    auto* frame = new QGroupBox(QStringLiteral(" Px Configuration "), this);
    frame->setObjectName(QStringLiteral("FramePx"));
    auto* frameLayout = new QVBoxLayout(frame);
    auto* hint = new QLabel(QStringLiteral("Insert the No."), frame);
    hint->setObjectName(QStringLiteral("Label1"));
    frameLayout->addWidget(hint, 0, Qt::AlignRight);
    for (int k = 1; k <= config::PresetCount; ++k) {
        auto* label = new QLabel(QStringLiteral("Keypad P%1  :").arg(k), frame);
        label->setObjectName(QStringLiteral("lblPx(%1)").arg(k));
        auto* box = new QLineEdit(frame);
        box->setObjectName(QStringLiteral("txtPx(%1)").arg(k));
        box->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("00000")) + 16);
        boxes_[k - 1] = box;
        connect(box, &QLineEdit::textChanged, this, [this, k] { boxEdited(k); });
        // The four presets spread over the grid's height beside it.
        frameLayout->addStretch(1);
        auto* row = new QHBoxLayout;
        row->addWidget(label);
        row->addWidget(box);
        frameLayout->addLayout(row);
    }
    frameLayout->addStretch(1);

    QPushButton* get = button("cmdGet", "Get", this);
    QPushButton* send = button("cmdSend", "Send", this);
    QPushButton* close = button("cmdClose", "Close", this);
    auto* side = new QVBoxLayout;
    side->addWidget(frame, 1);
    side->addWidget(get);
    side->addWidget(send);
    side->addWidget(close);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(grid_, 1);
    layout->addLayout(side);

    bench.registerTrafficControl(get);
    bench.registerTrafficControl(send);
    connect(get, &QPushButton::clicked, this, [this] {
        QPointer<PresetWindow> self(this);
        const config::QueryResult result = getPresets(bench_.model(), bench_.link());
        if (self && result == config::QueryResult::Answered)
            showModelPresets();
    });
    connect(send, &QPushButton::clicked, this, [this] {
        std::array<QString, config::PresetCount> texts;
        for (int k = 0; k < config::PresetCount; ++k)
            texts[k] = boxes_[k]->text();
        sendPresets(bench_.model(), bench_.link(), texts);
    });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(&bench.model(), &config::ConfigModel::changed, this, &PresetWindow::fillGrid);

    showModelPresets();
}

void PresetWindow::fillGrid() {
    const config::ConfigModel& model = bench_.model();
    const QColor shades[2] = {palette().color(QPalette::Base), palette().color(QPalette::AlternateBase)};
    for (int row = 0; row < gridRows; ++row) {
        for (int half = 0; half < 2; ++half) {
            const int n = row + 1 + half * gridRows;
            const int q = (n - 1) / config::GainCount;
            const int g = n - config::GainCount * q;
            const config::Scale& scale = model.scale(q + 1, g);
            const QString cells[3] = {QString::number(n), config::rangeName(q + 1), scale.label + scale.unit};
            for (int c = 0; c < 3; ++c) {
                auto* item = new QTableWidgetItem(cells[c]);
                // Alternate shades mark where one range's eight scales end and the next begin.
                item->setBackground(shades[q % 2]);
                grid_->setItem(row, half * (gapColumn + 1) + c, item);
            }
        }
    }
}

void PresetWindow::showModelPresets() {
    for (int k = 1; k <= config::PresetCount; ++k)
        boxes_[k - 1]->setText(presetBoxText(bench_.model().preset(k)));
}

void PresetWindow::boxEdited(int k) {
    if (adjusting_)
        return;
    QLineEdit* box = boxes_[k - 1];
    if (box->text().isEmpty())
        return;
    const std::optional<QString> number = presetBoxNumber(box->text());
    const QString shown = number ? *number : lastValid_[k - 1];
    if (number)
        lastValid_[k - 1] = *number;
    if (shown != box->text()) {
        adjusting_ = true;
        box->setText(shown);
        adjusting_ = false;
    }
}

void openPresetWindow(app::Workbench& bench) {
    devlink::Link& link = bench.link();
    if (link.inProgress())
        return;
    {
        devlink::Link::PanelLock lock(link);
        config::queryConverterType(bench.model(), link);
    }
    if (bench.model().fixedRangeCode.isEmpty())
        return;
    QWidget& owner = bench.mainWindow();
    auto* window = owner.findChild<PresetWindow*>(QStringLiteral("frmPx"), Qt::FindDirectChildrenOnly);
    // A window closed a moment ago is only waiting to be deleted.
    if (!window || !window->isVisible())
        window = new PresetWindow(bench, &owner);
    window->show();
    window->raise();
    window->activateWindow();
}

void registerPresets(app::Workbench& bench) {
    bench.setCommandHandler(app::Command::Px, [&bench] { openPresetWindow(bench); });
}

} // namespace files
