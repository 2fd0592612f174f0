#include "write/FlowConversion.h"

#include "link/Encodings.h"
#include "write/MemoryWrites.h"
#include "write/ScaleWrites.h"

#include <cmath>
#include <optional>

namespace writing {

namespace {

constexpr std::uint32_t blockStart = 0x3FA4;
constexpr double tripleLimit = 0xFFFFFF;

QString channelName(int i) {
    return QStringLiteral("Channel ") + QLatin1Char(i == 1 ? 'A' : 'B') + QStringLiteral(", ");
}

// Builds the commands in block order and stops at the first value that cannot be written.
class Builder {
public:
    explicit Builder(MemoryWrites& writes) : writes_(writes) {}

    bool ok() const { return !writes_.refused(); }

    void decimalPoint(int index, const QString& where) {
        if (!ok())
            return;
        if (index < 0 || index > 5)
            return refuse(where,
                          index < 0 ? QStringLiteral("nothing is selected")
                                    : cannotWrite(QString::number(index)),
                          QStringLiteral("0 ... 5"));
        byte(enc::hexRight(index, 2));
    }

    void text(const QString& text) {
        if (ok())
            word(enc::textToHexPairs(latin1Bytes(text), 4));
    }

    void factor(const QString& text, const QString& where) {
        if (!ok())
            return;
        const std::optional<double> value = number(text, false);
        if (!value || *value < 0 || *value > 255)
            return refuse(where, cannotWrite(text), QStringLiteral("0 ... 255"));
        byte(enc::hexRight(static_cast<std::int64_t>(*value), 2));
    }

    // The instrument holds an offset with the sign opposite to the one shown: "-" for zero and up.
    void offset(const QString& text, const QString& where) {
        if (!ok())
            return;
        const std::optional<double> value = number(text, true);
        if (!value || std::fabs(*value) > tripleLimit)
            return refuse(where, cannotWrite(text), QStringLiteral("-16777215 ... +16777215"));
        word(std::string(enc::signPair(*value >= 0)) +
             enc::hexRight(static_cast<std::int64_t>(std::fabs(*value)), 6));
    }

    void conversionFactor(const QString& text, const QString& where) {
        if (!ok())
            return;
        const std::optional<double> value = number(text, true);
        if (!value || *value < 0 || *value > tripleLimit)
            return refuse(where, cannotWrite(text), QStringLiteral("0 ... 16777215"));
        word(std::string(enc::signPair(false)) + enc::hexRight(static_cast<std::int64_t>(*value), 6));
    }

private:
    // The value rounded to a whole number; none when the text is not a number.
    static std::optional<double> number(const QString& text, bool emptyIsZero) {
        const std::string bytes = latin1Bytes(text);
        if (enc::trimSpaces(bytes).empty())
            return emptyIsZero ? std::optional<double>(0.0) : std::nullopt;
        if (!enc::isNumeric(bytes))
            return std::nullopt;
        const double rounded = enc::roundHalfEven(enc::val(bytes));
        return rounded == 0 ? 0.0 : rounded; // no "-0"
    }

    void refuse(const QString& where, const QString& problem, const QString& accepted) {
        writes_.commands.clear();
        writes_.refusal = refusalText(where, problem, accepted);
    }
    void byte(const std::string& digits) {
        writes_.commands.push_back(byteWriteCommand(address_, digits));
        address_ += 1;
    }
    void word(const std::string& digits) {
        writes_.commands.push_back(wordWriteCommand(address_, digits));
        address_ += 4;
    }

    MemoryWrites& writes_;
    std::uint32_t address_ = blockStart;
};

} // namespace

MemoryWrites flowConversionWrites(const config::ConfigModel& model) {
    MemoryWrites writes;
    Builder b(writes);
    const config::FlowChannel& a = model.channel(1);
    const config::FlowChannel& bee = model.channel(2);
    const QString flow = QStringLiteral("Flow Conversion ");
    const QString totalizer = QStringLiteral("Totalizer ");
    b.decimalPoint(a.dp, channelName(1) + flow + QStringLiteral("Decimal Point"));
    b.text(a.unit);
    b.factor(a.factor, channelName(1) + flow + QStringLiteral("Divider factor"));
    b.offset(a.offset, channelName(1) + flow + QStringLiteral("Offset"));
    b.offset(bee.offset, channelName(2) + flow + QStringLiteral("Offset"));
    b.conversionFactor(a.convTOT, channelName(1) + totalizer + QStringLiteral("Conversion factor"));
    b.conversionFactor(bee.convTOT, channelName(2) + totalizer + QStringLiteral("Conversion factor"));
    b.decimalPoint(a.dpTOT, channelName(1) + totalizer + QStringLiteral("Decimal Point"));
    b.decimalPoint(bee.dpTOT, channelName(2) + totalizer + QStringLiteral("Decimal Point"));
    b.text(a.unitTOT);
    b.text(bee.unitTOT);
    return writes;
}

void padUnitTexts(config::ConfigModel& model) {
    const auto pad = [](QString& text) { text = (text + QStringLiteral("    ")).left(4); };
    for (config::FlowChannel& c : model.channels) {
        pad(c.unit);
        pad(c.unitAD);
        pad(c.unitTOT);
    }
}

std::vector<ConstantText> constantTexts(const config::ConfigModel& model) {
    const config::FlowChannel& a = model.channel(1);
    if (a.a.isEmpty() && a.k.isEmpty() && a.t.isEmpty() && a.zero.isEmpty())
        return {};
    return {{a.a, 0x3FD0}, {a.k, 0x3FD8}, {a.t, 0x3FE0}, {a.zero, 0x3FE8}};
}

devlink::Written sendFlowConversion(devlink::Link& link, const MemoryWrites& writes, int barBefore) {
    int bar = barBefore;
    for (const std::string& command : writes.commands) {
        const devlink::Written written = memoryWrite(link, command);
        if (written != devlink::Written::Sent)
            return written;
        link.ui().setProgressValue(devlink::ProgressWindow::SettingProgress, ++bar);
    }
    return devlink::Written::Sent;
}

} // namespace writing
