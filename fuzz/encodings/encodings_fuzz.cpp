// Feeds arbitrary replies and typed texts through every decoder and text rule. Nothing may
// fail, and the results must stay within the sizes the callers rely on.
#include "link/Encodings.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    require(enc::hexToByteValue(text) <= 0xFFu);
    require(enc::hexToWordValue(text) <= 0xFFFFu);
    require(enc::hexToTripleValue(text) <= 0xFFFFFFu);
    require(enc::padHex(text, 6).size() == 6);

    const enc::ScaleRecord record = enc::decodeScaleRecord(text);
    require(record.label.size() <= 4 && record.unit.size() <= 4);
    require(record.dp >= -1 && record.dp <= 9);
    const std::string start = enc::scaleStartText(record);
    require(!start.empty() && (start[0] == '+' || start[0] == '-'));
    enc::scaleEndText(record);

    // Whatever was decoded encodes to a full command and decodes back to the same values.
    const std::string command = enc::scaleWriteCommand(6, 2, record);
    require(command.size() == 35);
    const enc::ScaleRecord again = enc::decodeScaleRecord(enc::dumpText(enc::scaleRecordBytes(record)));
    require(again.startMagnitude == record.startMagnitude && again.endMagnitude == record.endMagnitude);
    require(again.startNegative == record.startNegative && again.endNegative == record.endNegative);

    // Typed texts: the scale write, the flow unit's numbers, the presets.
    const enc::ScaleRecord typed = enc::scaleRecordFromTexts(text, text, text, text, text);
    require(enc::scaleRecordHex(typed).size() == 30);
    require(enc::scaleNumberFromText(text).magnitude <= 99999u);
    const double value = enc::val(text);
    require(enc::hexRight(enc::wholeNumber(value), 6).size() == 6);
    enc::numberText(value);
    enc::zeroPaddedText(text, 6);
    if (enc::isNumeric(text))
        require(enc::zeroPaddedText(text, 4).size() >= 4);
    for (std::size_t k = 0; k < text.size(); ++k) {
        const std::optional<int> preset = enc::presetValue(text.substr(k, 1));
        require(!preset || (*preset >= 1 && *preset <= 10));
    }
    require(enc::fitCell(text, 8).size() == 8);
    require(enc::textToHexPairs(text, 4).size() == 8);
    for (std::size_t k = 0; k < 20; ++k)
        require(enc::dumpByte(text, k) <= 0xFFu);
    for (int dp = -2; dp <= 12; ++dp)
        enc::patternText(enc::hexToTripleValue(text), dp);
    return 0;
}
