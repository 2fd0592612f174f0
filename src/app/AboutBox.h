#pragma once

#include <QDialog>

#include <functional>

class QLineEdit;
class QTimer;

namespace app {

// The About box ("About"): program name, version, the maker's contact labels, and the code
// field whose exact text unlocks the service functions.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    AboutBox(QWidget* owner, std::function<void()> onServiceCode);

    static constexpr int CheckIntervalMs = 50;

private:
    void checkCode();

    std::function<void()> onServiceCode_;
    QLineEdit* password_;
    QTimer* timer_;
};

} // namespace app
