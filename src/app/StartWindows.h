#pragma once

#include "config/ConfigModel.h"

#include <QDialog>
#include <QWidget>

class QRadioButton;

namespace app {

// The splash window ("Preloader"): shown for 1.2 s, then emits finished().
class Preloader : public QWidget {
    Q_OBJECT
public:
    explicit Preloader(QWidget* parent = nullptr);
    static constexpr int ShowMs = 1200;

signals:
    void finished();
};

// The instrument choice ("frmDevice"). Emits chosen() on OK.
class DeviceChoice : public QDialog {
    Q_OBJECT
public:
    explicit DeviceChoice(QWidget* parent = nullptr);

signals:
    void chosen(config::InstrumentKind kind);

private:
    QRadioButton* lumatrix_;
};

} // namespace app
