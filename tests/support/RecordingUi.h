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
    void showProgress(devlink::ProgressWindow window, const std::string& caption) override;
    void setProgressLabel(devlink::ProgressWindow window, const std::string& text) override;
    void setProgressRange(devlink::ProgressWindow window, int minimum, int maximum) override;
    void setProgressValue(devlink::ProgressWindow window, int value) override;
    void closeProgress(devlink::ProgressWindow window) override;
    std::string chooseFile(const devlink::FileRequest& request) override;
    devlink::CalendarTime now() override { return calendar; }

private:
    std::size_t answered_ = 0;
    std::size_t filesAnswered_ = 0;
};

} // namespace testsupport
