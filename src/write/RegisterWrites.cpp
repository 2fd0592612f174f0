#include "write/RegisterWrites.h"

#include "link/Encodings.h"

#include <cstdint>

namespace writing {

namespace {

using devlink::Link;
using devlink::ProgressWindow;
using devlink::Written;

constexpr const char* setTypeCaption = "Setting Lumatrix type...";

RegisterResult resultOf(Written written) {
    switch (written) {
    case Written::Sent:
        return RegisterResult::Sent;
    case Written::NotConnected:
        return RegisterResult::NotConnected;
    case Written::Busy:
        break;
    }
    return RegisterResult::Busy;
}

// One read-out unit register command with its own wake-up, under the wait window.
Written setTypeWrite(Link& link, const std::string& command) {
    devlink::OperationUi& ui = link.ui();
    ui.showProgress(ProgressWindow::SetType, setTypeCaption);
    const Written written = link.write({.command = command, .settle = 0.2, .closeSetTypeOnFailure = true});
    ui.closeProgress(ProgressWindow::SetType);
    return written;
}

// A whole number typed with nothing but digits (spaces around allowed), at most `limit`.
std::optional<std::uint32_t> wholeNumberUpTo(std::string_view text, std::uint32_t limit) {
    const std::string digits = enc::trimSpaces(text);
    if (digits.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > limit)
            return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

} // namespace

std::optional<std::string> rateDigit(int listIndex) {
    if (listIndex < 0)
        return std::nullopt;
    return listIndex <= 13 ? enc::hexText(listIndex) : std::string("F");
}

void refuseInput(devlink::OperationUi& ui, const std::string& text) {
    ui.message(text, "Error", devlink::Icon::Exclamation, devlink::Buttons::Ok);
}

RegisterResult setRecording(const config::ConfigModel& model, Link& link) {
    if (link.inProgress())
        return RegisterResult::Busy;
    const std::optional<std::string> digit = rateDigit(model.lumatrixRateIndex);
    if (!digit) {
        refuseInput(link.ui(), "Choose a recording rate first.");
        return RegisterResult::Refused;
    }
    if (model.recChannel != 0 && model.recChannel != 2) {
        refuseInput(link.ui(), "Choose the channels to record (A or A/B) first.");
        return RegisterResult::Refused;
    }
    Link::PanelLock lock(link);
    const Written rate = setTypeWrite(link, "i" + *digit);
    if (rate != Written::Sent)
        return resultOf(rate);
    return resultOf(setTypeWrite(link, model.recChannel == 2 ? "b0612" : "b0610"));
}

RegisterResult sendRateCommand(Link& link, int rateListIndex) {
    if (link.inProgress())
        return RegisterResult::Busy;
    const std::optional<std::string> digit = rateDigit(rateListIndex);
    if (!digit) {
        refuseInput(link.ui(), "Choose a recording rate first.");
        return RegisterResult::Refused;
    }
    Link::PanelLock lock(link);
    return resultOf(setTypeWrite(link, "i" + *digit));
}

RegisterResult setRate(config::ConfigModel& model, Link& link) {
    if (link.inProgress())
        return RegisterResult::Busy;
    devlink::OperationUi& ui = link.ui();
    // Thousands separators typed into the box are dropped, as the box always did.
    const std::optional<std::uint32_t> block =
        wholeNumberUpTo(enc::removeChars(model.nextBlockText.toStdString(), ".,"), 0xFFFF);
    if (!block) {
        ui.message("Incorrect block inserted", "Error", devlink::Icon::Exclamation, devlink::Buttons::Ok);
        return RegisterResult::Refused;
    }
    const std::optional<std::string> digit = rateDigit(model.rateIndex);
    if (!digit) {
        refuseInput(ui, "Choose a rate first.");
        return RegisterResult::Refused;
    }

    constexpr auto window = ProgressWindow::SettingProgress;
    Link::PanelLock lock(link);
    ui.showProgress(window, "Setting Quorvane");
    ui.setProgressRange(window, 0, 4);
    ui.setProgressValue(window, 0);
    ui.setProgressLabel(window, "Setting Next Block...");
    model.nextBlockText = QString::fromStdString(enc::zeroPadded(*block, 4));
    model.notifyChanged();
    ui.setProgressValue(window, 1);

    const std::string word = enc::hexRight(*block, 4);
    const std::string commands[] = {"b03" + word.substr(0, 2), "b04" + word.substr(2, 2), "i" + *digit};
    RegisterResult result = RegisterResult::Sent;
    for (int step = 0; step < 3; ++step) {
        if (step == 2) {
            ui.setProgressLabel(window, "Setting Rate...");
            ui.setProgressValue(window, 3);
        }
        const Written written = link.wakeUpWrite(commands[step]);
        if (written != Written::Sent) {
            result = resultOf(written);
            break;
        }
        link.pauseTwoTicks();
        ui.setProgressValue(window, step == 2 ? 4 : step + 2);
    }
    link.closePort();
    ui.closeProgress(window);
    return result;
}

void resetBlock(config::ConfigModel& model) {
    model.nextBlockText = QString::fromStdString(enc::zeroPadded(1, 4));
    model.notifyChanged();
}

std::string presetRegisterText(int reg) {
    if (reg == 20)
        return "1A";
    if (reg == 21)
        return "1B";
    return enc::plainNumber(reg);
}

Written sendPresetPair(Link& link, int reg, int firstDigit, int secondDigit) {
    const Written first = link.write({.command = "b" + presetRegisterText(reg) + "0" + enc::plainNumber(firstDigit),
                                      .settle = 0.1,
                                      .keepOpen = true});
    if (first != Written::Sent)
        return first;
    return link.write({.command = "b" + presetRegisterText(reg + 1) + "0" + enc::plainNumber(secondDigit)});
}

} // namespace writing
