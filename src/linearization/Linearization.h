#pragma once

// The linearization table of the flow unit: a formula in x is checked, its other variables are
// asked for, and the formula text and the 1000 points it gives for x = 0..999 are written into
// the instrument's memory. Plain sequential code over the model, the link, the evaluator and the
// user interface; the windows turn clicks and keys into these calls.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace config {
class ConfigModel;
}
namespace devlink {
class Link;
class OperationUi;
} // namespace devlink
namespace formula {
class FormulaEvaluator;
}

namespace linearization {

inline constexpr int pointCount = 1000;
inline constexpr std::uint32_t tableAddress = 0x3000;
inline constexpr std::uint32_t textAddress = 0x3FD0;
inline constexpr std::size_t textLength = 48;
inline constexpr std::size_t pieceLength = 8;
// The instrument keeps each point in 24 bits.
inline constexpr std::int64_t smallestPoint = -8388608;
inline constexpr std::int64_t largestPoint = 8388607;

inline constexpr const char* formulaErrorTitle = "Formula Error";
inline constexpr const char* sendCaption = "Setting linearization data";
inline constexpr const char* sendLabel = "Please wait, setting linearization formula...";

// The points about to be written: point t is the formula's value at x = t times 10^decimals,
// rounded, halves to even.
struct Table {
    std::vector<std::int32_t> points;
    int decimals = 0;
};

// The table, or the one message that says why there is none.
struct Computed {
    std::optional<Table> table;
    std::string error;
};

// Every point of the formula the evaluator holds, each checked: an evaluation error gives the
// evaluator's own description, a result that is not a finite number or does not fit 24 bits
// gives "Value out of range at x = " and the x. Nothing is cut or wrapped.
Computed computeTable(formula::FormulaEvaluator& evaluator, int decimals);

// "2B" and the point as six hex digits of its 24-bit two's complement: -10 -> "2BFFFFF6".
std::string pointData(std::int32_t point);
// The formula text as it goes to memory: padded with spaces or cut to 48 characters, in six pieces
// of eight.
std::vector<std::string> textPieces(const std::string& formulaText);

// "Please insert the value of the variable" / "... of the 2 variables" for a formula with
// `variableCount` variables, x included.
std::string valuesRequest(long variableCount);

enum class Outcome {
    Stopped,      // a message said why; nothing was sent
    AskingValues, // the variables frame is shown for the values of the other variables
    Declined,     // the user cancelled the preview; nothing was sent
    Sent,         // the text and all 1000 points were written
    Cancelled,    // the user stopped the send; the table in the instrument is incomplete
    NotConnected, // a wake-up failed: its one message was shown and the send ended
};

// What the windows add to a send: a look at the points first, and a way to stop it.
struct SendControls {
    // Shown the points before anything is sent; false sends nothing. Empty: send without asking.
    std::function<bool(const Table&)> preview;
    // The send's progress window has just been shown.
    std::function<void()> progressShown;
    // Asked after every write; true stops the send there.
    std::function<bool()> cancelRequested;
};

class Linearizer {
public:
    Linearizer(config::ConfigModel& model, devlink::Link& link, formula::FormulaEvaluator& evaluator,
               devlink::OperationUi& ui);

    // The set-linearization button: checks the formula box, then the formula, then either asks for
    // the other variables' values or sends.
    Outcome setLinear(const SendControls& controls = {});
    // The calculate button: takes the typed values and sends the formula the evaluator holds.
    Outcome calc(const SendControls& controls = {});
    // The calculate button may be used: the frame is shown and the evaluator holds the formula whose
    // variables the grid lists.
    bool calcAllowed() const;

    // One key typed into the variables grid while `row` is the current row: Backspace ('\b'), a
    // digit or "." edit that row's value by the grid's rules; the x row cannot be edited. True
    // when the value changed.
    bool typeIntoValue(int row, char key);

private:
    Outcome check(const std::string& formulaText);
    Outcome sendPhase(const std::string& formulaText, const SendControls& controls);
    Outcome write(const std::string& formulaText, const Table& table, const SendControls& controls);
    void information(const std::string& text);

    config::ConfigModel& model_;
    devlink::Link& link_;
    formula::FormulaEvaluator& evaluator_;
    devlink::OperationUi& ui_;
};

} // namespace linearization
