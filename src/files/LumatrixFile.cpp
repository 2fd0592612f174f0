#include "files/LumatrixFile.h"

#include "link/Encodings.h"

#include <QList>
#include <QRegularExpression>

#include <array>

namespace files {
namespace {

constexpr char CR = '\r';
// Where a row record holds its separators and its CR (0-based).
constexpr std::array<int, 5> SeparatorAt{6, 13, 20, 27, 34};
constexpr int RowCrAt = 41;

QByteArray fitted(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return bytes.left(LmxCellWidth) + QByteArray(qMax(0, LmxCellWidth - int(bytes.size())), ' ');
}

QByteArray filledRecord(QByteArray line) {
    line.truncate(LmxRecordLength);
    return line + QByteArray(LmxRecordLength - line.size(), ' ');
}

bool isCaptionRecord(int record) {
    return record % (config::GainCount + 1) == 0;
}

// The six cells of a row record's content (the bytes before its CR), or nothing when the
// separators are not where a scale row has them or a cell holds a control character.
std::optional<std::array<QByteArray, 6>> rowCells(const QByteArray& content) {
    if (content.size() < SeparatorAt.back() + 1 || content.size() > RowCrAt)
        return std::nullopt;
    for (int at : SeparatorAt)
        if (content[at] != ';')
            return std::nullopt;
    for (char c : content)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return std::nullopt;
    std::array<QByteArray, 6> cells;
    for (int c = 0; c < 6; ++c)
        cells[c] = content.mid(c * (LmxCellWidth + 1), LmxCellWidth);
    return cells;
}

// The contents of the records when the file is laid out in records of fixed length.
std::optional<QList<QByteArray>> fixedRecords(const QByteArray& bytes) {
    if (bytes.size() < LmxRecordCount * LmxRecordLength)
        return std::nullopt;
    QList<QByteArray> records;
    for (int r = 0; r < LmxRecordCount; ++r) {
        const QByteArray record = bytes.mid(r * LmxRecordLength, LmxRecordLength);
        if (isCaptionRecord(r)) {
            if (!record.contains(CR))
                return std::nullopt;
            records << record.left(record.indexOf(CR));
        } else {
            if (record[RowCrAt] != CR || !rowCells(record.left(RowCrAt)))
                return std::nullopt;
            records << record.left(RowCrAt);
        }
    }
    return records;
}

// The records of a file whose fill was changed (trailing spaces dropped, line feeds added): each
// ends at its CR, and the spaces and line feeds before it are fill.
QList<QByteArray> recordsByCr(const QByteArray& bytes) {
    QList<QByteArray> records;
    qsizetype at = 0;
    while (records.size() < LmxRecordCount) {
        while (at < bytes.size() && (bytes[at] == ' ' || bytes[at] == '\n'))
            ++at;
        if (at >= bytes.size())
            break;
        qsizetype end = bytes.indexOf(CR, at);
        if (end < 0)
            end = bytes.size();
        records << bytes.mid(at, end - at);
        at = end + 1;
    }
    return records;
}

QString rowName(int record) {
    const int group = record / (config::GainCount + 1);
    return QStringLiteral("Gain %1 of Scale %2")
        .arg(record % (config::GainCount + 1))
        .arg(config::rangeName(group + 1));
}

// Labels and units keep their leading spaces: a text that starts with one was laid out over the
// four places the instrument shows, so it gets them back (" mm" -> " mm ").
QString loadedLabel(const QByteArray& cell) {
    QString text = QString::fromLatin1(cell);
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    if (text.startsWith(QLatin1Char(' ')) && text.size() < 4)
        text = text.leftJustified(4);
    return text;
}

} // namespace

QString savedScaleValue(const QString& text) {
    return QString::fromStdString(enc::removeChars(text.toStdString(), ".,"));
}

QString loadedScaleValue(const QString& cell, const QString& decimalPoint) {
    const QString text = cell.trimmed();
    bool ok = false;
    const int dp = decimalPoint.trimmed().toInt(&ok);
    if (!ok || dp < 0 || dp > 5)
        return text;
    static const QRegularExpression signAndDigits(QStringLiteral("^([+-])([0-9]{5})$"));
    static const QRegularExpression cutPattern(QStringLiteral("^[+-]?[0-9]*\\.([0-9]*)$"));
    if (const auto m = signAndDigits.match(text); m.hasMatch())
        return QString::fromStdString(
            enc::scaleValueText(m.captured(1) == QLatin1String("-"), m.captured(2).toULongLong(), dp));
    if (const auto m = cutPattern.match(text); m.hasMatch() && m.capturedLength(1) < dp)
        return text + QString(dp - m.capturedLength(1), QLatin1Char('0'));
    return text;
}

QByteArray scaleRowRecord(int gain, const config::Scale& scale) {
    const QString cells[6] = {
        QStringLiteral("Gain %1").arg(gain), scale.decimalPoint, savedScaleValue(scale.start),
        savedScaleValue(scale.end),          scale.label,        scale.unit};
    QByteArray line;
    for (int c = 0; c < 6; ++c)
        line += fitted(cells[c]) + (c < 5 ? ';' : CR);
    return filledRecord(line);
}

QByteArray lumatrixFileBytes(const ScaleTable& scales) {
    QByteArray bytes;
    bytes.reserve(LmxRecordCount * LmxRecordLength);
    for (int range = 1; range <= config::RangeCount; ++range) {
        bytes += filledRecord(QStringLiteral("Scale %1").arg(config::rangeName(range)).toLatin1() + CR);
        for (int gain = 1; gain <= config::GainCount; ++gain)
            bytes += scaleRowRecord(gain, scales[range - 1][gain - 1]);
    }
    return bytes;
}

Loaded<ScaleTable> readLumatrixFile(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return {std::nullopt, QStringLiteral("the file is empty")};
    std::optional<QList<QByteArray>> fixed = fixedRecords(bytes);
    const QList<QByteArray> records = fixed ? *fixed : recordsByCr(bytes);
    if (records.size() < LmxRecordCount)
        return {std::nullopt, QStringLiteral("the file holds %1 of the %2 records of a scale file")
                                  .arg(records.size())
                                  .arg(LmxRecordCount)};
    ScaleTable table;
    for (int r = 0; r < LmxRecordCount; ++r) {
        if (isCaptionRecord(r))
            continue;
        const auto cells = rowCells(records[r]);
        if (!cells)
            return {std::nullopt,
                    QStringLiteral("record %1 (%2) is not a scale row").arg(r + 1).arg(rowName(r))};
        config::Scale& s = table[r / (config::GainCount + 1)][r % (config::GainCount + 1) - 1];
        s.decimalPoint = QString::fromLatin1((*cells)[1]).trimmed();
        s.start = loadedScaleValue(QString::fromLatin1((*cells)[2]), s.decimalPoint);
        s.end = loadedScaleValue(QString::fromLatin1((*cells)[3]), s.decimalPoint);
        s.label = loadedLabel((*cells)[4]);
        s.unit = loadedLabel((*cells)[5]);
    }
    return {table, {}};
}

} // namespace files
