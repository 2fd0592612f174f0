#include "linearization/Linearization.h"

#include "config/ConfigModel.h"
#include "formula/FormulaEvaluator.h"
#include "link/Encodings.h"
#include "link/Link.h"
#include "write/MemoryWrites.h"

#include <array>
#include <cmath>
#include <exception>

namespace linearization {
namespace {

constexpr auto settingWindow = devlink::ProgressWindow::SettingProgress;
constexpr std::size_t valueLength = 8;
const QString xRowValue = QStringLiteral("1 to 1000");

std::string latin1(const QString& text) {
    return text.toLatin1().toStdString();
}

bool isX(const QString& name) {
    return name == QLatin1String("x") || name == QLatin1String("X");
}

std::string outOfRange(int x) {
    return "Value out of range at x = " + enc::plainNumber(x);
}

} // namespace

Computed computeTable(formula::FormulaEvaluator& evaluator, int decimals) {
    static constexpr std::array<double, 6> scale{1.0, 10.0, 100.0, 1000.0, 10000.0, 100000.0};
    Table table;
    table.decimals = decimals;
    table.points.reserve(pointCount);
    const double factor = scale.at(static_cast<std::size_t>(decimals));
    for (int t = 0; t < pointCount; ++t) {
        evaluator.setVariable("X", static_cast<double>(t));
        double value = 0.0;
        try {
            value = evaluator.eval();
        } catch (const std::exception& e) {
            return {std::nullopt, e.what()};
        }
        const double scaled = enc::roundHalfEven(value * factor);
        if (!std::isfinite(scaled) || scaled < static_cast<double>(smallestPoint) ||
            scaled > static_cast<double>(largestPoint))
            return {std::nullopt, outOfRange(t)};
        table.points.push_back(static_cast<std::int32_t>(scaled));
    }
    return {std::move(table), {}};
}

std::string pointData(std::int32_t point) {
    return "2B" + enc::hexRight(point, 6);
}

std::vector<std::string> textPieces(const std::string& formulaText) {
    const std::string text = enc::fitCell(formulaText, textLength);
    std::vector<std::string> pieces;
    for (std::size_t k = 0; k < textLength; k += pieceLength)
        pieces.push_back(text.substr(k, pieceLength));
    return pieces;
}

std::string valuesRequest(long variableCount) {
    if (variableCount == 2)
        return "Please insert the value of the variable";
    return "Please insert the value of the" + enc::spacedNumber(variableCount - 1) + " variables";
}

Linearizer::Linearizer(config::ConfigModel& model, devlink::Link& link, formula::FormulaEvaluator& evaluator,
                       devlink::OperationUi& ui)
    : model_(model), link_(link), evaluator_(evaluator), ui_(ui) {}

void Linearizer::information(const std::string& text) {
    ui_.message(text, formulaErrorTitle, devlink::Icon::Information, devlink::Buttons::Ok);
}

Outcome Linearizer::setLinear(const SendControls& controls) {
    const QString box = model_.channel(1).formula;
    if (box.isEmpty()) {
        information("Missing Formula");
        return Outcome::Stopped;
    }
    // A character the instrument cannot store becomes "?", which no formula accepts.
    const std::string formulaText = enc::trimSpaces(latin1(box));
    if (formulaText.find_first_of("Xx") == std::string::npos) {
        information("Missing variable X");
        return Outcome::Stopped;
    }
    devlink::Link::PanelLock lock(link_);
    ui_.showProgress(settingWindow, sendCaption);
    ui_.setProgressLabel(settingWindow, "");
    Outcome outcome = check(formulaText);
    if (outcome == Outcome::Sent)
        outcome = sendPhase(formulaText, controls);
    ui_.closeProgress(settingWindow);
    return outcome;
}

// Outcome::Sent here means "go on to the send".
Outcome Linearizer::check(const std::string& formulaText) {
    const auto hideVariables = [this] {
        model_.variablesShown = false;
        model_.notifyChanged();
    };
    if (!evaluator_.storeExpression(formulaText)) {
        hideVariables();
        information(evaluator_.errorDescription());
        return Outcome::Stopped;
    }
    const long count = evaluator_.varTop();
    if (count == 0) {
        hideVariables();
        return Outcome::Sent;
    }
    model_.variables.clear();
    bool xFound = false;
    for (long i = 1; i <= count; ++i) {
        config::FormulaVariable row{QString::fromStdString(enc::spacedNumber(i)),
                                    QString::fromLatin1(evaluator_.varName(i)), QString()};
        if (isX(row.name)) {
            row.name = QStringLiteral("X");
            row.value = xRowValue;
            xFound = true;
        }
        model_.variables.push_back(row);
    }
    if (!xFound) {
        model_.resetVariables();
        hideVariables();
        information("Missing variable X");
        return Outcome::Stopped;
    }
    if (count == 1) {
        hideVariables();
        return Outcome::Sent;
    }
    model_.variablesShown = true;
    model_.notifyChanged();
    information(valuesRequest(count));
    return Outcome::AskingValues;
}

bool Linearizer::calcAllowed() const {
    if (!model_.variablesShown || evaluator_.varTop() < 2 ||
        evaluator_.varTop() != static_cast<long>(model_.variables.size()))
        return false;
    for (long i = 1; i <= evaluator_.varTop(); ++i) {
        const QString shown = model_.variables[static_cast<std::size_t>(i - 1)].name;
        const QString held = QString::fromLatin1(evaluator_.varName(i));
        if (shown != held && !(isX(shown) && isX(held)))
            return false;
    }
    return true;
}

Outcome Linearizer::calc(const SendControls& controls) {
    if (!calcAllowed())
        return Outcome::Stopped;
    for (const config::FormulaVariable& row : model_.variables) {
        if (row.value.isEmpty()) {
            information("Missing value for variable " + latin1(row.name));
            return Outcome::Stopped;
        }
    }
    for (const config::FormulaVariable& row : model_.variables)
        if (!isX(row.name))
            evaluator_.setVariable(latin1(row.name), enc::val(latin1(row.value)));

    devlink::Link::PanelLock lock(link_);
    ui_.showProgress(settingWindow, sendCaption);
    ui_.setProgressLabel(settingWindow, "");
    const Outcome outcome = sendPhase(evaluator_.expression(), controls);
    ui_.closeProgress(settingWindow);
    // The frame stays while the values may still be corrected: nothing has gone to the instrument.
    if (outcome != Outcome::Stopped && outcome != Outcome::Declined) {
        model_.variablesShown = false;
        model_.notifyChanged();
    }
    return outcome;
}

Outcome Linearizer::sendPhase(const std::string& formulaText, const SendControls& controls) {
    // Read once: a decimal point changed during the send must not scale half the table differently.
    const int decimals = model_.channel(1).dp;
    if (decimals < 0 || decimals > 5) {
        information("Missing decimal point");
        return Outcome::Stopped;
    }
    const Computed computed = computeTable(evaluator_, decimals);
    if (!computed.table) {
        information(computed.error);
        return Outcome::Stopped;
    }
    if (controls.preview) {
        // The empty progress window would only stand behind the preview.
        ui_.closeProgress(settingWindow);
        if (!controls.preview(*computed.table))
            return Outcome::Declined;
    }
    return write(formulaText, *computed.table, controls);
}

Outcome Linearizer::write(const std::string& formulaText, const Table& table, const SendControls& controls) {
    const auto cancelled = [&] { return controls.cancelRequested && controls.cancelRequested(); };
    const auto stop = [&](devlink::Written written) {
        ui_.closeProgress(settingWindow);
        if (written != devlink::Written::Sent)
            return Outcome::NotConnected; // the link has shown its message and closed the port
        link_.closePort();
        ui_.message("Sending stopped: the linearization table in the Quorvane is incomplete.", sendCaption,
                    devlink::Icon::Exclamation, devlink::Buttons::Ok);
        return Outcome::Cancelled;
    };
    const auto showProgress = [&](int maximum) {
        ui_.showProgress(settingWindow, sendCaption);
        ui_.setProgressLabel(settingWindow, sendLabel);
        ui_.setProgressRange(settingWindow, 0, maximum);
        ui_.setProgressValue(settingWindow, 0);
    };

    showProgress(6);
    if (controls.progressShown)
        controls.progressShown();
    const std::vector<std::string> pieces = textPieces(formulaText);
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        ui_.setProgressValue(settingWindow, static_cast<int>(k + 1));
        const devlink::Written written =
            writing::sendTextBlock(link_, pieces[k], textAddress + static_cast<std::uint32_t>(pieceLength * k));
        if (written != devlink::Written::Sent || cancelled())
            return stop(written);
    }
    // The boxes show the start of the stored text, as a read would, so a later Set All writes this
    // text back rather than the previous formula's.
    config::FlowChannel& a = model_.channel(1);
    a.a = QString::fromLatin1(enc::trimSpaces(pieces[0]));
    a.k = QString::fromLatin1(enc::trimSpaces(pieces[1]));
    a.t = QString::fromLatin1(enc::trimSpaces(pieces[2]));
    a.zero = QString::fromLatin1(enc::trimSpaces(pieces[3]));
    model_.notifyChanged();

    showProgress(pointCount - 1);
    for (int t = 0; t < pointCount; ++t) {
        ui_.setProgressValue(settingWindow, t);
        const devlink::Written written = writing::memoryWrite(
            link_, writing::wordWriteCommand(tableAddress + 4 * static_cast<std::uint32_t>(t),
                                             pointData(table.points[static_cast<std::size_t>(t)])));
        if (written != devlink::Written::Sent || (cancelled() && t + 1 < pointCount))
            return stop(written);
    }
    ui_.closeProgress(settingWindow);
    link_.closePort();
    return Outcome::Sent;
}

bool Linearizer::typeIntoValue(int row, char key) {
    if (row < 0 || row >= static_cast<int>(model_.variables.size()))
        return false;
    config::FormulaVariable& variable = model_.variables[static_cast<std::size_t>(row)];
    if (isX(variable.name) || variable.name.isEmpty())
        return false;
    QString& value = variable.value;
    if (key == '\b') {
        if (value.isEmpty())
            return false;
        value.chop(1);
        return true;
    }
    if (static_cast<std::size_t>(value.size()) >= valueLength)
        return false;
    if (key == '.' && value.isEmpty())
        return false;
    if (key != '.' && (key < '0' || key > '9'))
        return false;
    value += QLatin1Char(key);
    return true;
}

} // namespace linearization
