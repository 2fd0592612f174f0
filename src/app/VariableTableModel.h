#pragma once

#include "config/ConfigModel.h"

#include <QAbstractTableModel>

namespace app {

// The linearization's variables grid (VarGrid) over the model's variable rows: "Variable No.",
// "Name", "Value". Nothing is edited through the view's own editors; the linearization edits the
// rows by its key rules and the model reports the change.
class VariableTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit VariableTableModel(config::ConfigModel& model, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The model's rows may have grown or shrunk.
    void refresh();

private:
    config::ConfigModel& model_;
    int rows_ = 0;
};

} // namespace app
