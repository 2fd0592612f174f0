#include "link/Encodings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace enc {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

char upperChar(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string decimalDigits(std::uint64_t value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// Length of the number at the start of `text` in the form val reads (sign, digits with at most
// one point, exponent when digits follow it); 0 when no digit is found. `digits` tells whether
// the mantissa had any digit at all.
std::size_t numberLength(std::string_view text, bool& digits) {
    std::size_t i = 0;
    digits = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return 0;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j]))
                ++j;
            i = j;
        }
    }
    return i;
}

std::string_view skipBlanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    return text.substr(i);
}

} // namespace

// ---------------------------------------------------------------------------------------------

std::uint32_t hexDigitValue(char c) {
    const std::uint32_t code = static_cast<unsigned char>(upperChar(c));
    // Unsigned on purpose: a character below '0' wraps to a large value instead of overflowing.
    return code <= 58u ? code - 48u : code - 55u;
}

std::string padHex(std::string_view text, std::size_t width) {
    std::string padded(width, '0');
    padded += upperAscii(text);
    return padded.substr(padded.size() - width);
}

std::uint32_t hexToValue(std::string_view text, std::size_t width) {
    const std::string padded = padHex(text, width);
    std::uint32_t value = 0;
    for (char c : padded)
        value = value * 16u + hexDigitValue(c);
    if (width < 8)
        value &= (std::uint32_t{1} << (4 * width)) - 1u;
    return value;
}

std::uint32_t hexToByteValue(std::string_view text) {
    return hexToValue(text, 2);
}

std::uint32_t hexToWordValue(std::string_view text) {
    return hexToValue(text, 4);
}

std::uint32_t hexToTripleValue(std::string_view text) {
    return hexToValue(text, 6);
}

char hexToChar(std::string_view text) {
    return static_cast<char>(static_cast<unsigned char>(hexToByteValue(text)));
}

// ---------------------------------------------------------------------------------------------

std::string hexText(std::int64_t value) {
    auto bits = static_cast<std::uint32_t>(static_cast<std::uint64_t>(value) & 0xFFFFFFFFu);
    if (bits == 0)
        return "0";
    std::string text;
    while (bits != 0) {
        text.insert(text.begin(), kHexDigits[bits & 0xFu]);
        bits >>= 4;
    }
    return text;
}

std::string hexRight(std::int64_t value, std::size_t width) {
    std::string padded(width, '0');
    padded += hexText(value);
    return padded.substr(padded.size() - width);
}

std::string hexByte(unsigned value) {
    return {kHexDigits[(value >> 4) & 0xFu], kHexDigits[value & 0xFu]};
}

std::string textToHexPairs(std::string_view text, std::size_t count) {
    std::string hex;
    hex.reserve(2 * count);
    for (std::size_t i = 0; i < count; ++i)
        hex += hexByte(i < text.size() ? static_cast<unsigned char>(text[i]) : ' ');
    return hex;
}

// ---------------------------------------------------------------------------------------------

std::string_view midChars(std::string_view text, std::size_t start, std::size_t count) {
    if (start == 0 || start > text.size())
        return {};
    return text.substr(start - 1, count);
}

std::string_view rightChars(std::string_view text, std::size_t count) {
    return count >= text.size() ? text : text.substr(text.size() - count);
}

std::string_view leftChars(std::string_view text, std::size_t count) {
    return text.substr(0, count);
}

std::string_view dumpPair(std::string_view dump, std::size_t byteIndex) {
    return midChars(dump, 3 * byteIndex + 1, 2);
}

bool dumpHasByte(std::string_view dump, std::size_t byteIndex) {
    return dumpPair(dump, byteIndex).size() == 2;
}

std::uint32_t dumpByte(std::string_view dump, std::size_t byteIndex) {
    return hexToByteValue(dumpPair(dump, byteIndex));
}

std::string dumpText(std::span<const std::uint8_t> bytes, char separator) {
    std::string text;
    text.reserve(3 * bytes.size());
    for (std::uint8_t b : bytes) {
        text += hexByte(b);
        text += separator;
    }
    return text;
}

// ---------------------------------------------------------------------------------------------

std::string_view signPair(bool negative) {
    return negative ? "2D" : "2B";
}

bool isSignPair(std::string_view pair, char sign) {
    return upperAscii(pair) == hexByte(static_cast<unsigned char>(sign));
}

std::string signedText(bool negative, std::uint64_t magnitude) {
    return (negative ? "-" : "") + decimalDigits(magnitude);
}

// ---------------------------------------------------------------------------------------------

std::string_view dpPattern(int dp) {
    static constexpr std::string_view patterns[] = {"00000",  "0000.0", "000.00",
                                                    "00.000", "0.0000", ".00000"};
    return (dp >= 0 && dp <= 5) ? patterns[dp] : std::string_view{};
}

std::string patternText(std::uint64_t magnitude, int dp) {
    const std::string digits = decimalDigits(magnitude);
    if (dp >= 0 && dp <= 5) {
        const auto decimals = static_cast<std::size_t>(dp);
        const std::size_t minInteger = 5 - decimals;
        // Enough leading zeros for the integer digits of the pattern and all the decimals.
        std::string padded = digits;
        if (padded.size() < minInteger + decimals)
            padded.insert(0, minInteger + decimals - padded.size(), '0');
        if (decimals == 0)
            return padded;
        std::string integer = padded.substr(0, padded.size() - decimals);
        // ".00000" shows no integer digit for a value below 1.
        if (minInteger == 0 && integer.find_first_not_of('0') == std::string::npos)
            integer.clear();
        return integer + "." + padded.substr(padded.size() - decimals);
    }
    // No pattern: the plain decimal text of magnitude / 10^dp.
    if (dp <= 0)
        return digits;
    const auto decimals = static_cast<std::size_t>(dp);
    std::string padded = digits;
    if (padded.size() <= decimals)
        padded.insert(0, decimals + 1 - padded.size(), '0');
    std::string integer = padded.substr(0, padded.size() - decimals);
    std::string fraction = padded.substr(padded.size() - decimals);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    return fraction.empty() ? integer : integer + "." + fraction;
}

std::string scaleValueText(bool negative, std::uint64_t magnitude, int dp) {
    return (negative ? "-" : "+") + patternText(magnitude, dp);
}

// ---------------------------------------------------------------------------------------------

ScaleRecord decodeScaleRecord(std::string_view dump) {
    ScaleRecord record;
    record.dpText = std::string(midChars(dump, 2, 1));
    if (!record.dpText.empty())
        record.dp = isDigit(record.dpText[0]) ? record.dpText[0] - '0' : -1;

    auto word = [&](std::size_t high) {
        std::string text(dumpPair(dump, high));
        text += dumpPair(dump, high + 1);
        return static_cast<std::uint16_t>(hexToWordValue(text));
    };
    record.startNegative = isSignPair(dumpPair(dump, 1), '-');
    record.startMagnitude = word(2);
    record.endNegative = isSignPair(dumpPair(dump, 4), '-');
    record.endMagnitude = word(5);

    auto chars = [&](std::size_t first) {
        std::string text;
        for (std::size_t k = first; k < first + 4; ++k) {
            std::string_view pair = dumpPair(dump, k);
            if (!pair.empty())
                text += hexToChar(pair);
        }
        return text;
    };
    record.label = chars(7);
    record.unit = chars(11);
    return record;
}

std::string scaleStartText(const ScaleRecord& record) {
    return scaleValueText(record.startNegative, record.startMagnitude, record.dp);
}

std::string scaleEndText(const ScaleRecord& record) {
    return scaleValueText(record.endNegative, record.endMagnitude, record.dp);
}

ScaleNumber scaleNumberFromText(std::string_view text) {
    double value = val(removeChars(text, ".,"));
    if (value > 99999.0)
        value = 99999.0;
    if (value < -99999.0)
        value = -99999.0;
    const std::int64_t whole = wholeNumber(value);
    ScaleNumber number;
    number.negative = whole < 0;
    number.magnitude = static_cast<std::uint32_t>(whole < 0 ? -whole : whole);
    return number;
}

bool scaleNumberFits(const ScaleNumber& number) {
    return number.magnitude <= 0xFFFFu;
}

int dpCodeFromText(std::string_view text) {
    const double value = val(text);
    for (int code = 1; code <= 5; ++code) {
        if (value == code)
            return code;
    }
    return 0;
}

ScaleRecord scaleRecordFromTexts(std::string_view dpText, std::string_view startText,
                                 std::string_view endText, std::string_view label, std::string_view unit) {
    ScaleRecord record;
    record.dp = dpCodeFromText(dpText);
    record.dpText = std::string(1, static_cast<char>('0' + record.dp));
    auto limit = [](std::uint32_t magnitude) {
        return static_cast<std::uint16_t>(std::min(magnitude, 0xFFFFu));
    };
    const ScaleNumber start = scaleNumberFromText(startText);
    const ScaleNumber end = scaleNumberFromText(endText);
    record.startNegative = start.negative;
    record.startMagnitude = limit(start.magnitude);
    record.endNegative = end.negative;
    record.endMagnitude = limit(end.magnitude);
    record.label = fitCell(label, 4);
    record.unit = fitCell(unit, 4);
    return record;
}

std::array<std::uint8_t, 15> scaleRecordBytes(const ScaleRecord& record) {
    std::array<std::uint8_t, 15> bytes{};
    bytes[0] = static_cast<std::uint8_t>(record.dp >= 1 && record.dp <= 5 ? record.dp : 0);
    bytes[1] = record.startNegative ? '-' : '+';
    bytes[2] = static_cast<std::uint8_t>(record.startMagnitude >> 8);
    bytes[3] = static_cast<std::uint8_t>(record.startMagnitude & 0xFFu);
    bytes[4] = record.endNegative ? '-' : '+';
    bytes[5] = static_cast<std::uint8_t>(record.endMagnitude >> 8);
    bytes[6] = static_cast<std::uint8_t>(record.endMagnitude & 0xFFu);
    const std::string label = fitCell(record.label, 4);
    const std::string unit = fitCell(record.unit, 4);
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[7 + i] = static_cast<std::uint8_t>(label[i]);
        bytes[11 + i] = static_cast<std::uint8_t>(unit[i]);
    }
    return bytes;
}

std::string scaleRecordHex(const ScaleRecord& record) {
    std::string hex;
    hex.reserve(30);
    for (std::uint8_t b : scaleRecordBytes(record))
        hex += hexByte(b);
    return hex;
}

std::uint32_t scaleSlotAddress(int range, int gain) {
    const std::int64_t address = 0x2000 + (std::int64_t{range} - 1) * 0x80 + (std::int64_t{gain} - 1) * 0x10;
    return static_cast<std::uint32_t>(address) & 0xFFFFu;
}

std::string scaleSlotAddressText(int range, int gain) {
    return hexRight(scaleSlotAddress(range, gain), 4);
}

std::string scaleWriteCommand(int range, int gain, const ScaleRecord& record) {
    return "e" + scaleSlotAddressText(range, gain) + scaleRecordHex(record);
}

// ---------------------------------------------------------------------------------------------

std::optional<int> presetValue(std::string_view digit) {
    if (digit.size() != 1 || !isDigit(digit[0]))
        return std::nullopt;
    return digit[0] - '0' + 1;
}

// ---------------------------------------------------------------------------------------------

double val(std::string_view text) {
    text = skipBlanks(text);
    bool digits = false;
    const std::size_t length = numberLength(text, digits);
    if (length == 0)
        return 0.0;
    // from_chars knows neither a leading "+" nor "D" as exponent mark; rewrite those.
    std::string number(text.substr(0, length));
    if (number[0] == '+')
        number.erase(0, 1);
    for (char& c : number) {
        if (c == 'D' || c == 'd')
            c = 'E';
    }
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: decide by the exponent's sign.
        const std::size_t mark = number.find_first_of("Ee");
        const bool tiny = mark != std::string::npos && mark + 1 < number.size() && number[mark + 1] == '-';
        if (tiny)
            return 0.0;
        return number[0] == '-' ? std::numeric_limits<double>::lowest() : std::numeric_limits<double>::max();
    }
    return value;
}

bool isNumeric(std::string_view text) {
    text = skipBlanks(text);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    bool digits = false;
    const std::size_t length = numberLength(text, digits);
    return digits && length == text.size();
}

double roundHalfEven(double value) {
    if (!std::isfinite(value))
        return value;
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff < 0.5)
        return floor;
    if (diff > 0.5)
        return floor + 1.0;
    return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

std::int64_t wholeNumber(double value) {
    if (std::isnan(value))
        return 0;
    const double rounded = roundHalfEven(value);
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    if (rounded >= 9223372036854775808.0)
        return std::numeric_limits<std::int64_t>::max();
    if (rounded < -9223372036854775808.0)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(rounded);
}

// ---------------------------------------------------------------------------------------------

std::string spacedNumber(std::int64_t value) {
    return value < 0 ? plainNumber(value) : " " + plainNumber(value);
}

std::string plainNumber(std::int64_t value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string numberText(double value) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Inf" : "Inf";
    if (value == 0.0)
        return "0";
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return plainNumber(static_cast<std::int64_t>(value));
    char buffer[40];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string text(buffer, result.ptr);
    for (char& c : text) {
        if (c == 'e')
            c = 'E';
    }
    return text;
}

std::string zeroPadded(std::int64_t value, int minDigits) {
    const bool negative = value < 0;
    // The magnitude of the most negative value does not fit int64; unsigned arithmetic holds it.
    const std::uint64_t magnitude =
        negative ? std::uint64_t{0} - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string digits = decimalDigits(magnitude);
    if (minDigits > 0 && digits.size() < static_cast<std::size_t>(minDigits))
        digits.insert(0, static_cast<std::size_t>(minDigits) - digits.size(), '0');
    return negative ? "-" + digits : digits;
}

std::string zeroPaddedRounded(double value, int minDigits) {
    if (std::isnan(value))
        return zeroPadded(std::int64_t{0}, minDigits);
    // Halves away from zero, as the display patterns round.
    const double rounded = std::round(value);
    std::int64_t whole;
    if (rounded >= 9223372036854775808.0)
        whole = std::numeric_limits<std::int64_t>::max();
    else if (rounded < -9223372036854775808.0)
        whole = std::numeric_limits<std::int64_t>::min();
    else
        whole = static_cast<std::int64_t>(rounded);
    return zeroPadded(whole, minDigits);
}

std::string zeroPaddedText(std::string_view text, int minDigits) {
    if (!isNumeric(text))
        return std::string(text);
    return zeroPaddedRounded(val(text), minDigits);
}

// ---------------------------------------------------------------------------------------------

std::string fitCell(std::string_view text, std::size_t width) {
    std::string cell(text.substr(0, width));
    cell.resize(width, ' ');
    return cell;
}

std::string trimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string upperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        c = upperChar(c);
    return upper;
}

std::string removeChars(std::string_view text, std::string_view chars) {
    std::string kept;
    kept.reserve(text.size());
    for (char c : text) {
        if (chars.find(c) == std::string_view::npos)
            kept += c;
    }
    return kept;
}

} // namespace enc
