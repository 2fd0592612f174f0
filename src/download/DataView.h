#pragma once

// The data view (frmDataView): what the last download brought in, as a table and as a plot of
// both channels against time, with an export to a comma-separated file. It shows what was
// written to the data file and changes nothing on the line or in that file.

#include "download/DataFile.h"

#include <QString>
#include <QWidget>

#include <vector>

class QTableView;

namespace download {

class DataView final : public QWidget {
    Q_OBJECT
public:
    explicit DataView(QWidget* owner);

    void setRecords(std::vector<BlockRecord> records, const QString& dataFile);
    const std::vector<BlockRecord>& records() const { return records_; }

    // Asks for a file name and writes the records as comma-separated text.
    void exportCsv();

private:
    void plot();

    std::vector<BlockRecord> records_;
    QString dataFile_;
    QTableView* table_ = nullptr;
    QWidget* chart_ = nullptr;
};

// Shows the records in the main window's data view, creating it on first use.
DataView* showDataView(QWidget& owner, std::vector<BlockRecord> records, const QString& dataFile);

} // namespace download
