#pragma once

#include "link/OperationUi.h"

#include <string>
#include <vector>

namespace testsupport {

// An OperationUi that remembers what a device operation did to the user interface: calls, one line
// per call ("lockPanels", "message Connection error: Lumatrix not connected!", "closeProgress 0", the
// number being the ProgressWindow); every message box; answers to them first to last, then OK.
class RecordingUi final : public devlink::OperationUi {
public:
    struct Message {
        std::string text;
        std::string title;
        devlink::Icon icon;
        devlink::Buttons buttons;
    };

    std::vector<std::string> calls;
    std::vector<Message> messages;
    std::vector<devlink::Answer> answers;
    bool panelsLocked = false;
    // What the file dialogs answer, first to last; when used up, cancel. The requests are kept.
    std::vector<std::string> files;
    std::vector<devlink::FileRequest> fileRequests;
    devlink::CalendarTime calendar{2026, 12, 5, 14, 30, 0};

    void lockPanels() override;
    void unlockPanels() override;
    devlink::Answer message(const std::string& text, const std::string& title, devlink::Icon icon,
                            devlink::Buttons buttons, devlink::Answer defaultButton) override;
    void showProgress(devlink::ProgressWindow w, const std::string& caption) override {
        calls.push_back(head("showProgress", w) + " " + caption);
    }
    void setProgressLabel(devlink::ProgressWindow w, const std::string& text) override {
        calls.push_back(head("setProgressLabel", w) + " " + text);
    }
    void setProgressRange(devlink::ProgressWindow w, int minimum, int maximum) override {
        calls.push_back(head("setProgressRange", w) + " " + std::to_string(minimum) + " " +
                        std::to_string(maximum));
    }
    void setProgressValue(devlink::ProgressWindow w, int value) override {
        calls.push_back(head("setProgressValue", w) + " " + std::to_string(value));
    }
    void closeProgress(devlink::ProgressWindow w) override { calls.push_back(head("closeProgress", w)); }
    std::string chooseFile(const devlink::FileRequest& request) override;
    devlink::CalendarTime now() override { return calendar; }

private:
    static std::string head(const char* call, devlink::ProgressWindow w) {
        return call + (" " + std::to_string(static_cast<int>(w)));
    }
    std::size_t answered_ = 0;
    std::size_t filesAnswered_ = 0;
};

} // namespace testsupport
