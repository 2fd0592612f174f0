#include "download/DataView.h"

#include "app/MessageBoxes.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <limits>

namespace download {

namespace {

const char* const headings[] = {"Block", "Date", "Time", "ReadChA", "ReadChB"};

class RecordModel final : public QAbstractTableModel {
public:
    explicit RecordModel(QObject* parent) : QAbstractTableModel(parent) {}

    void setRecords(const std::vector<BlockRecord>* records) {
        beginResetModel();
        records_ = records;
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() || !records_ ? 0 : static_cast<int>(records_->size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 5; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || !records_)
            return {};
        const BlockRecord& r = (*records_)[static_cast<std::size_t>(index.row())];
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(index.column() >= 3 ? Qt::AlignRight | Qt::AlignVCenter
                                                           : Qt::AlignLeft | Qt::AlignVCenter);
        if (role != Qt::DisplayRole)
            return {};
        const std::string& cell = index.column() < 3
                                      ? r.cells[static_cast<std::size_t>(index.column())]
                                      : r.readings[static_cast<std::size_t>(index.column() - 3)].cell;
        return QString::fromLatin1(cell.data(), static_cast<qsizetype>(cell.size())).trimmed();
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= 5)
            return QAbstractTableModel::headerData(section, orientation, role);
        return QString::fromLatin1(headings[section]);
    }

private:
    const std::vector<BlockRecord>* records_ = nullptr;
};

QDateTime stampTime(const BlockRecord& r) {
    const QDate date(2000 + r.stamp[0], r.stamp[1], r.stamp[2]);
    const QTime time(r.stamp[3], r.stamp[4], r.stamp[5]);
    if (!r.stampValid || !date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

} // namespace

DataView::DataView(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("frmDataView"));
    setWindowTitle(QStringLiteral("Downloaded data"));
    setAttribute(Qt::WA_DeleteOnClose);

    table_ = new QTableView;
    table_->setObjectName(QStringLiteral("grdData"));
    table_->setModel(new RecordModel(table_));
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);

    auto* view = new QChartView;
    view->setObjectName(QStringLiteral("chtData"));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(420, 300);
    chart_ = view;

    auto* exportButton = new QPushButton(QStringLiteral("Export CSV"));
    exportButton->setObjectName(QStringLiteral("cmdExportCsv"));
    connect(exportButton, &QPushButton::clicked, this, &DataView::exportCsv);

    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(table_);
    splitter->addWidget(view);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(exportButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);
    resize(900, 520);
}

void DataView::setRecords(std::vector<BlockRecord> records, const QString& dataFile) {
    records_ = std::move(records);
    dataFile_ = dataFile;
    setWindowTitle(QStringLiteral("Downloaded data - %1").arg(QFileInfo(dataFile).fileName()));
    static_cast<RecordModel*>(table_->model())->setRecords(&records_);
    table_->resizeColumnsToContents();
    table_->setFixedWidth(table_->horizontalHeader()->length() +
                          table_->verticalScrollBar()->sizeHint().width() + 2 * table_->frameWidth());
    plot();
}

void DataView::plot() {
    auto* chart = new QChart;
    chart->setObjectName(QStringLiteral("chart"));
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));

    // Against time when every block carries a real date and time, otherwise against block number.
    bool byTime = !records_.empty();
    for (const BlockRecord& r : records_)
        byTime = byTime && stampTime(r).isValid();

    std::array<QLineSeries*, 2> series{new QLineSeries, new QLineSeries};
    series[0]->setName(QStringLiteral("ReadChA"));
    series[1]->setName(QStringLiteral("ReadChB"));
    double low = std::numeric_limits<double>::max();
    double high = std::numeric_limits<double>::lowest();
    QList<QPointF> points[2];
    for (const BlockRecord& r : records_) {
        const double x = byTime ? static_cast<double>(stampTime(r).toMSecsSinceEpoch()) : r.block;
        for (std::size_t c = 0; c < 2; ++c) {
            points[c].append(QPointF(x, r.readings[c].value));
            low = std::min(low, r.readings[c].value);
            high = std::max(high, r.readings[c].value);
        }
    }
    for (std::size_t c = 0; c < 2; ++c) {
        series[c]->replace(points[c]);
        chart->addSeries(series[c]);
    }

    QAbstractAxis* xAxis = nullptr;
    if (byTime) {
        // Labels short enough not to run into each other: the date goes into the title when every
        // block is of one day.
        const QDateTime first = stampTime(records_.front());
        const QDateTime last = stampTime(records_.back());
        auto* axis = new QDateTimeAxis;
        axis->setTickCount(5);
        if (first.date() == last.date()) {
            axis->setFormat(first.secsTo(last) < 600 ? QStringLiteral("hh:mm:ss") : QStringLiteral("hh:mm"));
            axis->setTitleText(
                QStringLiteral("Time (%1)").arg(first.date().toString(QStringLiteral("dd/MM/yy"))));
        } else {
            axis->setFormat(QStringLiteral("dd/MM hh:mm"));
            axis->setTitleText(QStringLiteral("Time"));
        }
        xAxis = axis;
    } else {
        auto* axis = new QValueAxis;
        axis->setLabelFormat(QStringLiteral("%d"));
        axis->setTitleText(QStringLiteral("Block"));
        xAxis = axis;
    }
    auto* yAxis = new QValueAxis;
    yAxis->setTitleText(QStringLiteral("Reading"));
    yAxis->setLabelFormat(QStringLiteral("%.6g"));
    if (low <= high) {
        const double margin = low == high ? 1.0 : (high - low) * 0.05;
        yAxis->setRange(low - margin, high + margin);
        yAxis->applyNiceNumbers();
    }
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);
    for (QLineSeries* s : series) {
        s->attachAxis(xAxis);
        s->attachAxis(yAxis);
    }
    auto* view = static_cast<QChartView*>(chart_);
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
}

void DataView::exportCsv() {
    const QFileInfo data(dataFile_);
    const QString proposed =
        data.completeBaseName().isEmpty() ? QStringLiteral("Data") : data.completeBaseName();
    QString path =
        app::chooseFile(this, {devlink::FileRequest::Mode::Save, QStringLiteral("Export CSV"),
                               QStringLiteral(" CSV File (*.csv)|*.csv|"), proposed + QStringLiteral(".csv"),
                               data.absolutePath().isEmpty() ? app::proposedFolder() : data.absolutePath()});
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    const std::string text = csvFile(records_);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !file.commit()) {
        app::showMessage(this,
                         {file.errorString(), QStringLiteral("File error"), devlink::Icon::Information});
    }
}

DataView* showDataView(QWidget& owner, std::vector<BlockRecord> records, const QString& dataFile) {
    auto* view = owner.findChild<DataView*>(QStringLiteral("frmDataView"), Qt::FindDirectChildrenOnly);
    if (!view)
        view = new DataView(&owner);
    view->setRecords(std::move(records), dataFile);
    view->show();
    view->raise();
    return view;
}

} // namespace download
