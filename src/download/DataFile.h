#pragma once

// What a logged block says and how it is kept: the 32-character block as the instrument sends it,
// its decoded cells, the data file of 49-byte records and the comma-separated copy for
// spreadsheets. Plain functions without state; nothing here touches the line or a widget.

#include "config/ConfigModel.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace download {

inline constexpr std::size_t blockLength = 32;  // characters of one block, CR not counted
inline constexpr std::size_t recordLength = 49; // bytes of one record of the data file
inline constexpr std::size_t cellWidth = 8;
inline constexpr int highestBlock = 0xFFFF; // block numbers and counts travel as 4 hex digits

// How the readings of a download are read: the instrument, and for the read-out unit the
// decimal-point digit of the scale each channel records with ("" when no scale is known, and the
// reading is then written without a pattern).
struct Decoding {
    config::InstrumentKind kind = config::InstrumentKind::Lumatrix;
    std::array<std::string, 2> dp;
};

// One reading: the 8-character cell of the data file, and the value for the view and the CSV.
struct Reading {
    std::string cell;   // fitted to cellWidth
    double value = 0.0; // signed, decimals applied
    std::string plain;  // the value as a spreadsheet reads it: "-12.345", "100000"
};

// One block as decoded.
struct BlockRecord {
    int block = 0;
    std::array<std::string, 3> cells; // block number, date, time (each fitted to cellWidth)
    std::array<Reading, 2> readings;  // channel A, channel B
    // Year (two digits), month, day, hour, minute, second as logged; valid when all six are two
    // decimal digits.
    std::array<int, 6> stamp{};
    bool stampValid = false;
};

// A channel's reading of the read-out unit: sign pair ("2B" positive, anything else negative),
// six hex digits, the decimal-point digit of its scale.
Reading lumatrixReading(std::string_view sign, std::string_view digits, std::string_view dp);
// A channel's reading of the flow unit: six hex digits as an unsigned number.
Reading quorvaneReading(std::string_view digits);

// Decodes block `number` from its 32 characters.
BlockRecord decodeBlock(int number, std::string_view text, const Decoding& decoding);

// The first record of the data file: the five headings, CR, three spaces (49 bytes).
std::string headerRecord();
// The record of one block (48 characters and CR).
std::string dataRecord(const BlockRecord& record);
// The whole data file: the header record, then one record per block in the order given.
std::string dataFile(const std::vector<BlockRecord>& records);

// The same records as comma-separated text with a header row, ISO dates and plain numbers.
std::string csvFile(const std::vector<BlockRecord>& records);

// "Data_" day "_" month "_" four-digit year: Data_5_12_2026.
std::string proposedDataFileName(int day, int month, int year);

} // namespace download
