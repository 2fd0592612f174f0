#pragma once

// The user interface of a benchmark run: nothing shown, every message box printed and counted (a
// benchmark that meets a message has measured the wrong thing), file dialogs cancelled.

#include "link/OperationUi.h"

#include <cstdio>
#include <string>

namespace bench {

class QuietUi final : public devlink::OperationUi {
public:
    int messages = 0;
    void lockPanels() override {}
    void unlockPanels() override {}
    devlink::Answer message(const std::string& text, const std::string&, devlink::Icon, devlink::Buttons,
                            devlink::Answer) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        ++messages;
        return devlink::Answer::Ok;
    }
    void showProgress(devlink::ProgressWindow, const std::string&) override {}
    void setProgressLabel(devlink::ProgressWindow, const std::string&) override {}
    void setProgressRange(devlink::ProgressWindow, int, int) override {}
    void setProgressValue(devlink::ProgressWindow, int) override {}
    void closeProgress(devlink::ProgressWindow) override {}
    std::string chooseFile(const devlink::FileRequest&) override { return {}; }
    devlink::CalendarTime now() override { return {}; }
};

} // namespace bench
