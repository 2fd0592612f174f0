#include "config/ReplyFields.h"

#include "link/Encodings.h"

#include <cmath>
#include <optional>

namespace config {

namespace {

using enc::midChars;

constexpr int lastRateIndex = 13;

std::string pairs(std::string_view text, std::initializer_list<std::size_t> positions) {
    std::string digits;
    for (std::size_t p : positions)
        digits += midChars(text, p, 2);
    return digits;
}

// Characters written as hex pairs at the given positions; pairs past the end are left out.
std::string charsAt(std::string_view text, std::initializer_list<std::size_t> positions) {
    std::string chars;
    for (std::size_t p : positions) {
        const std::string_view pair = midChars(text, p, 2);
        if (!pair.empty())
            chars += enc::hexToChar(pair);
    }
    return chars;
}

QString signedMagnitude(bool negative, std::uint16_t magnitude) {
    return latin1((negative ? "-" : "+") + enc::plainNumber(magnitude));
}

std::optional<int> presetPart(std::string_view digit, int highest) {
    std::optional<int> value = enc::presetValue(digit);
    if (value && *value > highest)
        value.reset();
    return value;
}

} // namespace

QString latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string dumpChars(std::string_view dump, std::size_t firstByte, std::size_t count) {
    std::string chars;
    for (std::size_t k = firstByte; k < firstByte + count; ++k) {
        const std::string_view pair = enc::dumpPair(dump, k);
        if (!pair.empty())
            chars += enc::hexToChar(pair);
    }
    return chars;
}

Scale decodeGridScale(std::string_view dump) {
    const enc::ScaleRecord record = enc::decodeScaleRecord(dump);
    return {latin1(record.dpText), latin1(enc::scaleStartText(record)), latin1(enc::scaleEndText(record)),
            latin1(record.label), latin1(record.unit)};
}

void decodeFlowInputScale(FlowChannel& channel, std::string_view dump) {
    const enc::ScaleRecord record = enc::decodeScaleRecord(dump);
    channel.dpAD = record.dp >= 0 && record.dp <= 5 ? record.dp : 0;
    channel.startScale = signedMagnitude(record.startNegative, record.startMagnitude);
    channel.endScale = signedMagnitude(record.endNegative, record.endMagnitude);
    channel.label = latin1(record.label);
    channel.unitAD = latin1(record.unit);
}

int flowDecimalPointIndex(std::string_view pair) {
    const double value = enc::val(pair);
    if (value >= 0 && value <= 5 && value == std::floor(value))
        return static_cast<int>(value);
    return 0;
}

void decodeConversionBlocks(ConfigModel& model, std::string_view block1, std::string_view block2,
                            std::string_view block3) {
    FlowChannel& a = model.channel(1);
    FlowChannel& b = model.channel(2);

    // Block 1: flow decimal point and unit (one for both channels), divider, both offsets.
    a.dp = b.dp = flowDecimalPointIndex(midChars(block1, 13, 2));
    a.unit = b.unit = latin1(charsAt(block1, {16, 19, 22, 25}));
    a.factor = latin1(enc::plainNumber(enc::hexToByteValue(midChars(block1, 28, 2))));
    b.factor = QStringLiteral("1");
    // The offsets' sign byte has the opposite sense: "-" stands for a positive offset.
    const bool offsetANegative = !enc::isSignPair(midChars(block1, 31, 2), '-');
    a.offset = latin1(enc::signedText(offsetANegative, enc::hexToTripleValue(pairs(block1, {34, 37, 40}))));
    const bool offsetBNegative = !enc::isSignPair(midChars(block1, 43, 2), '-');
    const std::string offsetB = std::string(midChars(block1, 46, 2)) + pairs(block2, {1, 4});
    b.offset = latin1(enc::signedText(offsetBNegative, enc::hexToTripleValue(offsetB)));

    // Block 2: totaliser conversion factors, decimal points, channel A's totaliser unit.
    a.convTOT = latin1(enc::signedText(enc::isSignPair(midChars(block2, 7, 2), '-'),
                                       enc::hexToTripleValue(pairs(block2, {10, 13, 16}))));
    b.convTOT = latin1(enc::signedText(enc::isSignPair(midChars(block2, 19, 2), '-'),
                                       enc::hexToTripleValue(pairs(block2, {22, 25, 28}))));
    a.dpTOT = flowDecimalPointIndex(midChars(block2, 31, 2));
    b.dpTOT = flowDecimalPointIndex(midChars(block2, 34, 2));
    a.unitTOT = latin1(charsAt(block2, {37, 40, 43, 46}));

    // Block 3: channel B's totaliser unit.
    b.unitTOT = latin1(charsAt(block3, {1, 4, 7, 10}));
}

void decodePresetReply(ConfigModel& model, std::string_view reply) {
    for (int k = 1; k <= PresetCount; ++k) {
        const std::size_t rangeAt = 2 + 6 * static_cast<std::size_t>(k - 1);
        Preset& preset = model.preset(k);
        preset.range = presetPart(midChars(reply, rangeAt, 1), RangeCount);
        preset.gain = presetPart(midChars(reply, rangeAt + 3, 1), GainCount);
    }
}

void decodeClockReply(ConfigModel& model, std::string_view reply) {
    if (reply.empty()) {
        model.date.clear();
        model.time.clear();
        return;
    }
    auto at = [&](std::size_t p) { return std::string(midChars(reply, p, 2)); };
    model.date = latin1(at(7) + "-" + at(4) + "-" + at(1));
    model.time = latin1(at(10) + ":" + at(13) + ":" + at(16));
}

bool decodeRecordingReply(ConfigModel& model, std::string_view reply) {
    if (reply.size() < 17)
        return false;
    const char rate = reply[16];
    const std::string_view channel = midChars(reply, 20, 1);
    int index = -1;
    if (rate >= '0' && rate <= '9')
        index = rate - '0';
    else if (rate >= 'A' && rate <= 'D')
        index = rate - 'A' + 10;
    else if (rate != 'F')
        return false;

    model.recRateCode = latin1(std::string_view(&rate, 1));
    model.recChannelCode = latin1(channel);
    if (rate == 'F') {
        model.recordingOff = true;
        model.lumatrixRateIndex = -1;
        model.recChannel = -1;
        return true;
    }
    model.recordingOff = false;
    model.lumatrixRateIndex = index;
    // There is no option for channel code 1 (nor for anything else): then none is selected.
    model.recChannel = channel == "0" ? 0 : channel == "2" ? 2 : -1;
    return true;
}

int flowRateIndex(std::string_view reply) {
    const int index = static_cast<int>(enc::hexToByteValue("0" + std::string(midChars(reply, 1, 1))));
    return index <= lastRateIndex ? index : -1;
}

int nextBlockOf(std::string_view reply) {
    return static_cast<int>(
        enc::hexToWordValue(std::string(midChars(reply, 10, 2)) + std::string(midChars(reply, 13, 2))));
}

} // namespace config
