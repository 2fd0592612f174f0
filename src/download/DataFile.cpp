#include "download/DataFile.h"

#include "link/Encodings.h"

#include <cmath>

namespace download {

namespace {

using enc::midChars;

constexpr std::array<const char*, 5> headings{"Block", "Date", "Time", "ReadChA", "ReadChB"};

// magnitude / 10^decimals as plain text: no leading zeros, no sign.
std::string plainDecimal(std::uint64_t magnitude, int decimals) {
    std::string digits = std::to_string(magnitude);
    if (decimals <= 0)
        return digits;
    const auto d = static_cast<std::size_t>(decimals);
    if (digits.size() <= d)
        digits.insert(0, d + 1 - digits.size(), '0');
    digits.insert(digits.size() - d, ".");
    return digits;
}

// A cut that would drop integer digits turns a reading into a number ten or more times smaller;
// such a reading is shown as stars instead. A cut that drops only decimals is kept.
std::string readingCell(const std::string& text) {
    const std::size_t point = text.find('.');
    const std::size_t integerLength = point == std::string::npos ? text.size() : point;
    if (integerLength > cellWidth)
        return std::string(cellWidth, '*');
    return enc::fitCell(text, cellWidth);
}

bool twoDigits(std::string_view text, int& value) {
    if (text.size() != 2 || text[0] < '0' || text[0] > '9' || text[1] < '0' || text[1] > '9')
        return false;
    value = (text[0] - '0') * 10 + (text[1] - '0');
    return true;
}

} // namespace

Reading lumatrixReading(std::string_view sign, std::string_view digits, std::string_view dp) {
    const bool negative = !enc::isSignPair(sign, '+');
    const std::uint32_t magnitude = enc::hexToTripleValue(digits);
    // A scale that is not known or whose code has no pattern gives the reading without one.
    int decimals = -1;
    if (dp.size() == 1 && dp[0] >= '0' && dp[0] <= '9')
        decimals = dp[0] - '0';
    const std::string text = (negative ? "-" : "+") + enc::patternText(magnitude, decimals);
    const int applied = decimals < 0 ? 0 : decimals;
    Reading r;
    r.cell = readingCell(text);
    r.value = (negative ? -1.0 : 1.0) * static_cast<double>(magnitude) / std::pow(10.0, applied);
    r.plain = (negative && magnitude != 0 ? "-" : "") + plainDecimal(magnitude, applied);
    return r;
}

Reading quorvaneReading(std::string_view digits) {
    const std::uint32_t value = enc::hexToTripleValue(digits);
    Reading r;
    r.plain = std::to_string(value);
    r.cell = readingCell(r.plain);
    r.value = static_cast<double>(value);
    return r;
}

BlockRecord decodeBlock(int number, std::string_view b, const Decoding& decoding) {
    BlockRecord record;
    record.block = number;
    record.cells[0] = enc::fitCell(enc::zeroPadded(number, 4), cellWidth);
    const auto piece = [&](std::size_t at) { return std::string(midChars(b, at, 2)); };
    record.cells[1] = enc::fitCell(piece(7) + "/" + piece(9) + "/" + piece(11), cellWidth);
    record.cells[2] = enc::fitCell(piece(5) + ":" + piece(3) + ":" + piece(1), cellWidth);
    // year, month, day, hour, minute, second
    static constexpr std::array<std::size_t, 6> stampAt{11, 9, 7, 5, 3, 1};
    record.stampValid = true;
    for (std::size_t i = 0; i < stampAt.size(); ++i)
        record.stampValid = twoDigits(midChars(b, stampAt[i], 2), record.stamp[i]) && record.stampValid;
    if (decoding.kind == config::InstrumentKind::Lumatrix) {
        record.readings[0] = lumatrixReading(midChars(b, 13, 2), midChars(b, 15, 6), decoding.dp[0]);
        record.readings[1] = lumatrixReading(midChars(b, 23, 2), midChars(b, 25, 6), decoding.dp[1]);
    } else {
        record.readings[0] = quorvaneReading(midChars(b, 15, 6));
        record.readings[1] = quorvaneReading(midChars(b, 23, 6));
    }
    return record;
}

std::string headerRecord() {
    std::string line;
    for (const char* heading : headings)
        line += enc::fitCell(heading, cellWidth) + ";";
    line += '\r';
    line.resize(recordLength, ' ');
    return line;
}

std::string dataRecord(const BlockRecord& r) {
    std::string line = r.cells[0] + ";" + r.cells[1] + " ; " + r.cells[2] + " ;" + r.readings[0].cell + ";" +
                       r.readings[1].cell + ";";
    line += '\r';
    line.resize(recordLength, ' ');
    return line;
}

std::string dataFile(const std::vector<BlockRecord>& records) {
    std::string file = headerRecord();
    file.reserve(recordLength * (records.size() + 1));
    for (const BlockRecord& r : records)
        file += dataRecord(r);
    return file;
}

std::string csvFile(const std::vector<BlockRecord>& records) {
    std::string csv = "Block,Date,Time,ReadChA,ReadChB\r\n";
    const auto quoted = [](const std::string& cell) {
        std::string trimmed = enc::trimSpaces(cell);
        if (trimmed.find_first_of(",\"") == std::string::npos)
            return trimmed;
        std::string out = "\"";
        for (char c : trimmed)
            out += c == '"' ? std::string("\"\"") : std::string(1, c);
        return out + "\"";
    };
    for (const BlockRecord& r : records) {
        std::string date = quoted(r.cells[1]);
        std::string time = quoted(r.cells[2]);
        if (r.stampValid) {
            const auto& s = r.stamp;
            date = "20" + enc::zeroPadded(s[0], 2) + "-" + enc::zeroPadded(s[1], 2) + "-" +
                   enc::zeroPadded(s[2], 2);
            time = enc::zeroPadded(s[3], 2) + ":" + enc::zeroPadded(s[4], 2) + ":" + enc::zeroPadded(s[5], 2);
        }
        csv += std::to_string(r.block) + "," + date + "," + time + "," + r.readings[0].plain + "," +
               r.readings[1].plain + "\r\n";
    }
    return csv;
}

std::string proposedDataFileName(int day, int month, int year) {
    return "Data_" + std::to_string(day) + "_" + std::to_string(month) + "_" + enc::zeroPadded(year, 2);
}

} // namespace download
