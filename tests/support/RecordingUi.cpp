#include "RecordingUi.h"

namespace testsupport {

namespace {
std::string number(devlink::ProgressWindow window) {
    return std::to_string(static_cast<int>(window));
}
} // namespace

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

void RecordingUi::showProgress(devlink::ProgressWindow w, const std::string& caption) {
    calls.push_back("showProgress " + number(w) + " " + caption);
}

void RecordingUi::setProgressLabel(devlink::ProgressWindow w, const std::string& text) {
    calls.push_back("setProgressLabel " + number(w) + " " + text);
}

void RecordingUi::setProgressRange(devlink::ProgressWindow w, int minimum, int maximum) {
    calls.push_back("setProgressRange " + number(w) + " " + std::to_string(minimum) + " " +
                    std::to_string(maximum));
}

void RecordingUi::setProgressValue(devlink::ProgressWindow w, int value) {
    calls.push_back("setProgressValue " + number(w) + " " + std::to_string(value));
}

void RecordingUi::closeProgress(devlink::ProgressWindow w) {
    calls.push_back("closeProgress " + number(w));
}

std::string RecordingUi::chooseFile(const devlink::FileRequest& request) {
    calls.push_back("chooseFile " + request.title);
    fileRequests.push_back(request);
    return filesAnswered_ < files.size() ? files[filesAnswered_++] : std::string();
}

} // namespace testsupport
