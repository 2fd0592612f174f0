#pragma once

#include "app/MainWindow.h"
#include "app/MessageBoxes.h"
#include "link/Port.h"

#include <QList>
#include <QMap>
#include <QString>
#include <deque>
#include <vector>

namespace testing {

// A port whose open() result is chosen per port number; it never carries data.
class FakePort : public devlink::Port {
public:
    QMap<int, devlink::OpenStatus> results; // missing: Opened
    QList<int> opened;

    devlink::OpenStatus open(int portNumber) override {
        opened.push_back(portNumber);
        const auto status = results.value(portNumber, devlink::OpenStatus::Opened);
        open_ = status == devlink::OpenStatus::Opened;
        return status;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    void write(std::string_view) override {}
    int bytesWaiting() override { return 0; }
    std::string readOne() override { return {}; }
    std::string readAll() override { return {}; }
    void discardInput() override {}
    bool failed() const override { return false; }
    std::string deviceName(int portNumber) const override { return "/dev/fake" + std::to_string(portNumber); }

private:
    bool open_ = false;
};

// A named child, reported when it is missing.
template <typename T = QWidget> T* child(QObject& parent, const QString& name) {
    T* found = parent.findChild<T*>(name);
    if (!found)
        qWarning("missing %s", qPrintable(name));
    return found;
}

// A main window on a fake port. Its message boxes are answered from a script (OK when the script has run
// out), and the requests are kept.
struct Fixture {
    FakePort port;
    std::deque<devlink::Answer> answers;
    std::vector<app::MessageRequest> asked;
    app::MessageAnswerer previous = app::setMessageAnswerer([this](const app::MessageRequest& r) {
        asked.push_back(r);
        const devlink::Answer a = answers.empty() ? devlink::Answer::Ok : answers.front();
        if (!answers.empty())
            answers.pop_front();
        return a;
    });
    app::MainWindow window;

    explicit Fixture(config::InstrumentKind kind = config::InstrumentKind::Lumatrix) : window(kind, port) {}
    ~Fixture() { app::setMessageAnswerer(previous); }
    template <typename T = QWidget> T* get(const QString& name) { return child<T>(window, name); }
};

} // namespace testing
