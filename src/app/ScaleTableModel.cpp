#include "app/ScaleTableModel.h"

#include <QApplication>
#include <QPalette>

namespace app {

ScaleTableModel::ScaleTableModel(config::ConfigModel& model, int range, QObject* parent)
    : QAbstractTableModel(parent), model_(model), range_(range) {}

int ScaleTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : config::GainCount;
}

int ScaleTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 5;
}

QString* ScaleTableModel::field(int row, int column) const {
    if (row < 0 || row >= config::GainCount)
        return nullptr;
    config::Scale& s = model_.scale(range_, row + 1);
    switch (column) {
    case 0:
        return &s.decimalPoint;
    case 1:
        return &s.start;
    case 2:
        return &s.end;
    case 3:
        return &s.label;
    case 4:
        return &s.unit;
    default:
        return nullptr;
    }
}

QVariant ScaleTableModel::data(const QModelIndex& index, int role) const {
    const QString* text = field(index.row(), index.column());
    if (!text)
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return *text;
    if (role == Qt::BackgroundRole && index.row() == 0)
        return QApplication::palette().brush(QPalette::Button);
    return {};
}

bool ScaleTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    QString* text = field(index.row(), index.column());
    if (!text || role != Qt::EditRole || index.row() == 0)
        return false;
    const QString newText = value.toString();
    if (*text == newText)
        return true;
    *text = newText;
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    model_.notifyChanged();
    return true;
}

Qt::ItemFlags ScaleTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.row() != 0)
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant ScaleTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return QStringLiteral("Gain %1").arg(section + 1);
    static const char* const captions[] = {"Decimal Point", "Start Scale", "End Scale", "Label", "Unit"};
    if (section >= 0 && section < 5)
        return QString::fromLatin1(captions[section]);
    return {};
}

void ScaleTableModel::refresh() {
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DisplayRole, Qt::EditRole});
}

} // namespace app
