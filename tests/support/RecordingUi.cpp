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
    if (onMessage)
        onMessage();
    if (answered_ < answers.size())
        return answers[answered_++];
    return defaultAnswer;
}

void RecordingUi::showProgress(devlink::ProgressWindow window, const std::string& caption) {
    calls.push_back("showProgress " + number(window) + " " + caption);
}

void RecordingUi::setProgressLabel(devlink::ProgressWindow window, const std::string& text) {
    calls.push_back("setProgressLabel " + number(window) + " " + text);
}

void RecordingUi::setProgressRange(devlink::ProgressWindow window, int minimum, int maximum) {
    calls.push_back("setProgressRange " + number(window) + " " + std::to_string(minimum) + " " +
                    std::to_string(maximum));
}

void RecordingUi::setProgressValue(devlink::ProgressWindow window, int value) {
    calls.push_back("setProgressValue " + number(window) + " " + std::to_string(value));
}

void RecordingUi::closeProgress(devlink::ProgressWindow window) {
    calls.push_back("closeProgress " + number(window));
}

} // namespace testsupport
