#pragma once

// The block window (frmNoBlock): which blocks to download, the OK button that downloads them,
// "Reset Memory", and the button that closes it. Opened by cmdDownload on the flow unit and by
// the Data menu's Transfer entry.

#include "download/Download.h"

#include <QDialog>

class QLineEdit;
class QRadioButton;

namespace app {
class Workbench;
}

namespace download {

class BlockWindow final : public QDialog {
    Q_OBJECT
public:
    BlockWindow(app::Workbench& bench, QWidget* parent);

    // "All" selected, From 0001, To the last logged block.
    void fillBoxes();

protected:
    // The window stays while an operation runs, so an operation started from it never outlives it.
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void download();
    void reset();

    app::Workbench& bench_;
    QRadioButton* all_ = nullptr;
    QRadioButton* selected_ = nullptr;
    QLineEdit* from_ = nullptr;
    QLineEdit* to_ = nullptr;
};

// Attaches the block window to the download commands of the main window.
void registerBlockWindow(app::Workbench& bench);

} // namespace download
