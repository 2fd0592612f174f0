#include "RecordingUi.h"

namespace testsupport {

void RecordingUi::lockPanels() {
    panelsLocked = true;
    calls.push_back("lockPanels");
}

void RecordingUi::unlockPanels() {
    panelsLocked = false;
    calls.push_back("unlockPanels");
}

devlink::Answer RecordingUi::message(const std::string& text, const std::string& title, devlink::Icon icon,
                                     devlink::Buttons buttons, devlink::Answer) {
    calls.push_back("message " + title + ": " + text);
    messages.push_back({text, title, icon, buttons});
    return answered_ < answers.size() ? answers[answered_++] : devlink::Answer::Ok;
}

std::string RecordingUi::chooseFile(const devlink::FileRequest& request) {
    calls.push_back("chooseFile " + request.title);
    fileRequests.push_back(request);
    return filesAnswered_ < files.size() ? files[filesAnswered_++] : std::string();
}

} // namespace testsupport
