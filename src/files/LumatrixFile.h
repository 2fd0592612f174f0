#pragma once

// The read-out unit's configuration file (".lmx"): the six scale grids as 54 records of 49
// single-byte characters. For each range, a record with the tab caption and then one record per
// gain slot holding six cells of six characters at fixed positions:
//
//   Gain 2;3     ;-05000;+05000;GN 2  ;V     <CR>       (then spaces to 49 characters)
//
// Start and end of scale are kept as the sign and the digits without the point, the way a user
// types them into a grid: the seven-character texts a read gives ("-05.000") do not fit a cell.

#include "config/ConfigModel.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace files {

using ScaleTable = decltype(config::ConfigModel::scales);

inline constexpr int LmxRecordLength = 49;
inline constexpr int LmxRecordCount = 54;
inline constexpr int LmxCellWidth = 6;

// A value read from a file, or why the file cannot be used.
template <typename T> struct Loaded {
    std::optional<T> value;
    QString problem;
};

// The whole file, always LmxRecordCount records of LmxRecordLength bytes.
QByteArray lumatrixFileBytes(const ScaleTable& scales);
// The record of one gain slot.
QByteArray scaleRowRecord(int gain, const config::Scale& scale);

// Start or end of scale as its cell keeps it: "-05.000" -> "-05000".
QString savedScaleValue(const QString& text);
// The text a cell gives back, in the pattern of the row's decimal point when it holds a sign and
// five digits ("-05000" with "3" -> "-05.000"). A text cut by earlier programs ("-05.00" with
// "3") gets its missing decimals back as zeros.
QString loadedScaleValue(const QString& cell, const QString& decimalPoint);

// The scale table a file holds; nothing when the file is short, damaged or not a scale file.
// Records are taken by their fixed length when the file has them, otherwise each record ends at
// its CR; records after the last one are ignored.
Loaded<ScaleTable> readLumatrixFile(const QByteArray& bytes);

} // namespace files
