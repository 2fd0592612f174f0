#pragma once

#include "config/ConfigModel.h"

#include <QAbstractTableModel>

namespace app {

// One range of the read-out unit's scale table as an item view model: eight rows (gain slots
// 1..8, captioned "Gain 1".."Gain 8") and the five scale fields as columns. Row 1 is the factory
// scale: drawn with the button-face colour and not editable.
class ScaleTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    ScaleTableModel(config::ConfigModel& model, int range, QObject* parent = nullptr);

    int range() const { return range_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Called when the configuration model changed behind the view's back.
    void refresh();

private:
    QString* field(int row, int column) const;

    config::ConfigModel& model_;
    int range_;
};

} // namespace app
