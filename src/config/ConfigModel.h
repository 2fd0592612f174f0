#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace config {

// 0 and 1 are the values the instruments' files and the rest of the program know.
enum class InstrumentKind { Lumatrix = 0, Quorvane = 1 };

inline constexpr int RangeCount = 6;
inline constexpr int GainCount = 8;
inline constexpr int PresetCount = 4;
inline constexpr int FlowChannelCount = 2;

// Range names for ranges 1..6.
QString rangeName(int range);

// Scale number 1..48 of (range 1..6, gain slot 1..8).
constexpr int scaleNumber(int range, int gain) {
    return (range - 1) * GainCount + gain;
}

// One engineering scale. The texts are the storage, exactly as shown in the grids.
struct Scale {
    QString decimalPoint; // "0".."5"
    QString start;        // e.g. "-05.000"
    QString end;          // e.g. "+05.000"
    QString label;        // up to 4 characters
    QString unit;         // up to 4 characters

    bool operator==(const Scale&) const = default;
};

// The values gain slot 1 of every range always holds; never read from the instrument.
Scale factoryScale(int range);

// A preset names one scale; an empty half means the preset is not assigned.
struct Preset {
    std::optional<int> range; // 1..6
    std::optional<int> gain;  // 1..8
    bool assigned() const { return range.has_value() && gain.has_value(); }
    bool operator==(const Preset&) const = default;
};

// One row of the linearization's variables grid, as shown.
struct FormulaVariable {
    QString number; // "Variable No.": " 1", " 2", ...
    QString name;   // as the evaluator lists it ("X" for x)
    QString value;  // typed by the user; "1 to 1000" for x
    bool operator==(const FormulaVariable&) const = default;
};

// One channel of the flow unit. List indexes are -1 when nothing is selected.
struct FlowChannel {
    // A/D conversion
    QString startScale;
    QString endScale;
    int dpAD = -1;
    QString label;
    QString unitAD;
    // Flow conversion
    QString formula; // txtFormula for channel A, txtFormula2 for channel B
    QString factor;
    QString offset;
    int dp = -1;
    QString unit;
    // Totaliser
    QString convTOT;
    int dpTOT = -1;
    QString unitTOT;
    // Linearisation constants (pieces of the stored formula text)
    QString a;
    QString k;
    QString t;
    QString zero;

    bool operator==(const FlowChannel&) const = default;
};

// The whole configuration the main window shows and edits, plus the state shared by the device
// operations. Fields are public so the read operations and the file loader can fill them
// directly; call notifyChanged() once after a batch of changes so the views refresh.
//
// Indexing: the accessors take the numbers the instruments use (range 1..6, gain 1..8,
// preset 1..4, channel 1..2); the arrays behind them are 0-based.
class ConfigModel : public QObject {
    Q_OBJECT
public:
    explicit ConfigModel(InstrumentKind kind = InstrumentKind::Lumatrix, QObject* parent = nullptr);

    // ---- scale table of the read-out unit (row 1 of each range is the factory scale)
    Scale& scale(int range, int gain) { return scales[range - 1][gain - 1]; }
    const Scale& scale(int range, int gain) const { return scales[range - 1][gain - 1]; }
    std::array<std::array<Scale, GainCount>, RangeCount> scales;
    // Writes the factory values into gain slot 1 of every range.
    void setFactoryRows();

    // ---- presets P1..P4
    Preset& preset(int k) { return presets[k - 1]; }
    const Preset& preset(int k) const { return presets[k - 1]; }
    std::array<Preset, PresetCount> presets;

    // ---- recording of the read-out unit
    int lumatrixRateIndex = -1; // cmbLumatrixRate, 0..13
    bool recordingOff = false;  // rate code "F": rate list hidden, channel options disabled
    int recChannel = -1;        // index of the selected optCHRec: 0 ("A") or 2 ("A/B"), -1 none
    QString recRateCode;        // as read: "0".."9", "A".."D", "F"
    QString recChannelCode;     // as read: "0" or "2"

    // ---- clock (both instruments)
    QString date; // dd-mm-yy
    QString time; // hh:mm:ss

    // ---- flow unit
    FlowChannel& channel(int i) { return channels[i - 1]; }
    const FlowChannel& channel(int i) const { return channels[i - 1]; }
    std::array<FlowChannel, FlowChannelCount> channels;
    int rateIndex = -1;                              // cmbRate, 0..13
    QString nextBlockText;                           // txtNextBlock, pattern "0000"
    bool overwrite = false;                          // CheckOverwrite
    std::array<QString, FlowChannelCount> totalizer; // txtTotalizer(1..2), pattern "000000"
    QString text1;                                   // Text1: multi-line, grows on every read

    // ---- linearization: the variables grid (VarGrid) and whether its frame is shown
    std::vector<FormulaVariable> variables{FormulaVariable{}};
    bool variablesShown = false; // FrameVariables
    // The grid's empty state: one empty row.
    void resetVariables() { variables.assign(1, FormulaVariable{}); }

    // ---- shared state of the device operations
    InstrumentKind instrumentKind;
    int portNumber = 1;
    QString fixedRangeCode; // "" unknown, "0" any range, "1".."6" fixed to that range
    int nextBlock = 9999;   // 9999 until read
    bool configRead = false;
    bool serviceUnlocked = false;
    std::array<QString, 2> channelRange; // two-character texts from the recording-scales query
    std::array<QString, 2> channelGain;
    std::array<QString, 2> channelDP; // one digit each

    // Empties the flow unit's per-channel fields and clears their decimal-point lists. Leaves the
    // scale grids, rate lists, presets and clock alone.
    void clearConfigFields();
    // The state the main window starts with for the given instrument.
    void resetAtStartup();

    void notifyChanged() { emit changed(); }

signals:
    void changed();
};

} // namespace config
