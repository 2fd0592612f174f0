#pragma once

#include "app/MainWindow.h"
#include "app/MessageBoxes.h"
#include "link/Port.h"

#include <QString>
#include <deque>
#include <map>
#include <vector>

namespace testing {

// A port whose open() result is chosen per port number; it never carries data.
class FakePort : public devlink::Port {
public:
    std::map<int, devlink::OpenStatus> results; // missing: Opened
    std::vector<int> opened;
    int closes = 0;

    devlink::OpenStatus open(int portNumber) override {
        opened.push_back(portNumber);
        auto it = results.find(portNumber);
        const auto status = it == results.end() ? devlink::OpenStatus::Opened : it->second;
        open_ = status == devlink::OpenStatus::Opened;
        return status;
    }
    void close() override {
        if (open_)
            ++closes;
        open_ = false;
    }
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

// Answers every message box from a script (OK when the script has run out) and keeps the requests.
class ScriptedAnswers {
public:
    ScriptedAnswers() {
        previous_ = app::setMessageAnswerer([this](const app::MessageRequest& r) {
            asked.push_back(r);
            if (answers.empty())
                return devlink::Answer::Ok;
            const devlink::Answer a = answers.front();
            answers.pop_front();
            return a;
        });
    }
    ~ScriptedAnswers() { app::setMessageAnswerer(previous_); }
    ScriptedAnswers(const ScriptedAnswers&) = delete;
    ScriptedAnswers& operator=(const ScriptedAnswers&) = delete;

    std::deque<devlink::Answer> answers;
    std::vector<app::MessageRequest> asked;

private:
    app::MessageAnswerer previous_;
};

// A main window on a fake port whose message boxes are answered from a script.
struct Fixture {
    FakePort port;
    ScriptedAnswers answers;
    app::MainWindow window;

    explicit Fixture(config::InstrumentKind kind = config::InstrumentKind::Lumatrix) : window(kind, port) {}
    // A named child of the window, reported when it is missing.
    template <typename T = QWidget> T* get(const QString& name) {
        T* child = window.findChild<T*>(name);
        if (!child)
            qWarning("missing %s", qPrintable(name));
        return child;
    }
};

} // namespace testing
