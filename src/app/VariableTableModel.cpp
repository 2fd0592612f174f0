#include "app/VariableTableModel.h"

namespace app {

VariableTableModel::VariableTableModel(config::ConfigModel& model, QObject* parent)
    : QAbstractTableModel(parent), model_(model), rows_(static_cast<int>(model.variables.size())) {}

int VariableTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int VariableTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant VariableTableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || index.row() < 0 || index.row() >= static_cast<int>(model_.variables.size()))
        return {};
    const config::FormulaVariable& v = model_.variables[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
    case 0:
        return v.number;
    case 1:
        return v.name;
    case 2:
        return v.value;
    default:
        return {};
    }
}

QVariant VariableTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const captions[] = {"Variable No.", "Name", "Value"};
    return section >= 0 && section < 3 ? QString::fromLatin1(captions[section]) : QVariant();
}

void VariableTableModel::refresh() {
    const int rows = static_cast<int>(model_.variables.size());
    if (rows != rows_) {
        beginResetModel();
        rows_ = rows;
        endResetModel();
        return;
    }
    if (rows > 0)
        emit dataChanged(index(0, 0), index(rows - 1, 2), {Qt::DisplayRole});
}

} // namespace app
