#include "linearization/PreviewDialog.h"

#include <QChart>
#include <QChartView>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace linearization {
namespace {

// The point as written and, beside it, as the instrument shows it with its decimals.
QString pointText(std::int32_t point, int decimals) {
    const QString plain = QString::number(point);
    if (decimals == 0)
        return plain;
    return QStringLiteral("%1 (%2)").arg(plain, QString::number(point / std::pow(10.0, decimals), 'f', decimals));
}

QLabel* extremeLabel(const QString& objectName, const QString& caption, const Table& table,
                     std::vector<std::int32_t>::const_iterator at, QWidget* parent) {
    const auto x = static_cast<int>(at - table.points.begin());
    auto* label = new QLabel(QStringLiteral("%1: %2 at x = %3").arg(caption, pointText(*at, table.decimals)).arg(x),
                             parent);
    label->setObjectName(objectName);
    return label;
}

} // namespace

bool showPreview(QWidget* owner, const Table& table) {
    QDialog dialog(owner);
    dialog.setObjectName(QStringLiteral("frmPreview"));
    dialog.setWindowTitle(QStringLiteral("Linearization table preview"));
    dialog.setModal(true);

    auto* series = new QLineSeries;
    series->setName(QStringLiteral("Point written"));
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(table.points.size()));
    for (std::size_t t = 0; t < table.points.size(); ++t)
        points.append(QPointF(static_cast<double>(t), table.points[t]));
    series->replace(points);

    auto* chart = new QChart;
    chart->addSeries(series);
    chart->legend()->hide();
    auto* xAxis = new QValueAxis;
    xAxis->setRange(0, pointCount - 1);
    xAxis->setLabelFormat(QStringLiteral("%d"));
    xAxis->setTickType(QValueAxis::TicksDynamic);
    xAxis->setTickAnchor(0);
    xAxis->setTickInterval(100);
    xAxis->setTitleText(QStringLiteral("x"));
    auto* yAxis = new QValueAxis;
    const auto [lowest, highest] = std::minmax_element(table.points.begin(), table.points.end());
    // A constant table still gets an axis with room around its one value.
    const double low = *lowest, high = *highest;
    const double margin = high > low ? 0.0 : std::max(1.0, std::abs(low) * 0.05);
    yAxis->setRange(low - margin, high + margin);
    yAxis->applyNiceNumbers();
    yAxis->setLabelFormat(QStringLiteral("%.0f"));
    yAxis->setTitleText(QStringLiteral("Point written"));
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);
    series->attachAxis(xAxis);
    series->attachAxis(yAxis);
    chart->setMargins(QMargins(4, 4, 4, 4));

    auto* view = new QChartView(chart, &dialog);
    view->setObjectName(QStringLiteral("chtPreview"));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(560, 340);

    auto* send = new QPushButton(QStringLiteral("Send"), &dialog);
    send->setObjectName(QStringLiteral("cmdPreviewSend"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
    cancel->setObjectName(QStringLiteral("cmdPreviewCancel"));
    // Nothing is sent unless the user asks for it: Enter and Escape both keep the instrument as it is.
    cancel->setDefault(true);
    QObject::connect(send, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    auto* extremes = new QVBoxLayout;
    extremes->addWidget(extremeLabel(QStringLiteral("lblPreviewMin"), QStringLiteral("Smallest point"), table,
                                     lowest, &dialog));
    extremes->addWidget(extremeLabel(QStringLiteral("lblPreviewMax"), QStringLiteral("Largest point"), table,
                                     highest, &dialog));
    buttons->addLayout(extremes);
    buttons->addStretch();
    buttons->addWidget(send);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(view, 1);
    layout->addLayout(buttons);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace linearization
